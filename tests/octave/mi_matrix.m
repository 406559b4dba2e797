## -*- texinfo -*-
## m = mi_matrix (cls, flagbits, dims, parts...): a miMATRIX element of stream
## class cls with the given flag byte and dimensions, an empty name, then the
## class-specific parts (already encoded elements), in order.
function m = mi_matrix (cls, flagbits, dims, varargin)
  body = [mi_element(6, uint32([cls + 256 * flagbits, 0])), ...
          mi_element(5, int32(dims)), mi_element(1, int8([])), varargin{:}];
  m = [typecast(uint32([14 numel(body)]), 'uint8') body];
endfunction
