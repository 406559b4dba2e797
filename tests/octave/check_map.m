## -*- texinfo -*-
## ok = check_map (name, m, key_type, value_type, keys, values): fails unless m is
## a containers.Map of those types holding exactly those pairs; answers true.
function ok = check_map (name, m, key_type, value_type, keys, values)
  if (! isa (m, 'containers.Map'))
    error ('%s: a %s, not a containers.Map', name, class (m));
  endif
  if (! strcmp (m.KeyType, key_type) || ! strcmp (m.ValueType, value_type))
    error ('%s: types %s/%s, expected %s/%s', name, m.KeyType, m.ValueType, key_type, value_type);
  endif
  if (m.Count != numel (keys))
    error ('%s: %d pairs, expected %d', name, m.Count, numel (keys));
  endif
  for k = 1:numel (keys)
    if (! isKey (m, keys{k}) || ! isequal (m(keys{k}), values{k}))
      error ('%s: key %s missing or with another value', name, disp (keys{k}));
    endif
  endfor
  ok = true;
endfunction
