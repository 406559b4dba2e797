## -*- texinfo -*-
## e = mi_element (type, data): one data element (long form, padded to 8 bytes).
## data is a numeric array whose bytes are written as they are held.
function e = mi_element (type, data)
  bytes = typecast (data(:)', 'uint8');
  pad = mod (8 - mod (numel (bytes), 8), 8);
  e = [typecast(uint32([type numel(bytes)]), 'uint8') bytes zeros(1, pad, 'uint8')];
endfunction
