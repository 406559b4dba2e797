## -*- texinfo -*-
## p = pnt (x, yy): an old-style class object with two fields, for the
## value2bytes tests.
function p = pnt (x, yy)
  s.x = x;
  s.yy = yy;
  p = class (s, 'pnt');
endfunction
