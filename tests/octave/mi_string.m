## -*- texinfo -*-
## m = mi_string (dims, strs): the saved form of a string array: a uint64 row
## of 1, numel (dims), dims, the lengths in UTF-16 units, then the units.
## strs is a cell of char rows (column-major) or NaN for a missing string.
function m = mi_string (dims, strs)
  lens = zeros (1, numel (strs), 'uint64');
  pieces = cell (1, numel (strs));
  for k = 1:numel (strs)
    if (isnumeric (strs{k}))
      lens(k) = intmax ('uint64');
      pieces{k} = uint16 ([]);
    else
      pieces{k} = typecast (unicode2native (strs{k}, 'UTF-16LE'), 'uint16');
      lens(k) = numel (pieces{k});
    endif
  endfor
  units = [uint16([]) pieces{:}];
  units(end+1:4*ceil(numel(units)/4)) = 0;
  w = [uint64([1 numel(dims) dims]) lens typecast(units, 'uint64')];
  m = mi_matrix (15, 0, [1 numel(w)], mi_element(13, w));
endfunction
