## -*- texinfo -*-
## @deftypefn {} {@var{m} =} __bytes2value_map__ (@var{key_type}, @var{value_type}, @var{keys}, @var{values})
## Internal to bytes2value: the containers.Map of a decoded map or
## dictionary. @var{keys} and @var{values} are cells, numeric arrays or, for
## one text key or value, a char row.
## @end deftypefn
function m = __bytes2value_map__ (key_type, value_type, keys, values)
  if (ischar (keys))
    keys = {keys};
  elseif (! iscell (keys))
    keys = num2cell (double (keys));
  endif
  if (ischar (values))
    values = {values};
  elseif (! iscell (values))
    values = num2cell (values);
  endif
  if (strcmp (value_type, "double"))
    values = cellfun (@double, values, "UniformOutput", false);
  endif
  m = containers.Map ("KeyType", key_type, "ValueType", value_type);
  if (! isempty (keys))
    if (! strcmp (key_type, "char"))
      keys = cellfun (@double, keys, "UniformOutput", false);
    endif
    ## One call for all pairs: the pairs then join the typed empty map.
    add = containers.Map (keys(:)', values(:)', "UniformValues", false);
    m = [m; add];
  endif
endfunction
