## -*- texinfo -*-
## s = stream_of (value, fmt): the byte stream of value, made from the MAT file
## that Octave's save writes with fmt ('-v6' or '-v7'): bytes 124..127 of the
## header, four zero bytes, then everything after the 128-byte header.
function s = stream_of (value, fmt)
  f = [tempname() '.mat'];
  unwind_protect
    x = value;
    save (fmt, f, 'x');
    fid = fopen (f, 'r');
    b = fread (fid, Inf, 'uint8=>uint8')';
    fclose (fid);
  unwind_protect_cleanup
    if (exist (f, 'file'))
      delete (f);
    endif
  end_unwind_protect
  s = [b(125:128) zeros(1, 4, 'uint8') b(129:end)];
endfunction
