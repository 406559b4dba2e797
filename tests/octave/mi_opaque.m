## -*- texinfo -*-
## m = mi_opaque (system, cls, content): an opaque miMATRIX (class 17) of the
## type system and class named, holding the miMATRIX content.
function m = mi_opaque (system, cls, content)
  body = [mi_element(6, uint32([17 0])), mi_element(1, int8([])), ...
          mi_element(1, int8(system)), mi_element(1, int8(cls)), content];
  m = [typecast(uint32([14 numel(body)]), 'uint8') body];
endfunction
