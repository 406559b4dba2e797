## -*- texinfo -*-
## b = hex_bytes (text): the bytes written in hex in text, spaces ignored.
function b = hex_bytes (text)
  text = text(! isspace (text));
  b = uint8 (hex2dec (reshape (text, 2, [])')');
endfunction
