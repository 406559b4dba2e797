## -*- texinfo -*-
## s = mi_stream (element): the 8-byte stream prefix (little-endian) then element.
function s = mi_stream (element)
  s = [uint8([0 1 73 77 0 0 0 0]) element];
endfunction
