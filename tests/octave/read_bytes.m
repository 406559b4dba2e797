## -*- texinfo -*-
## b = read_bytes (file): the file's bytes as a uint8 row.
function b = read_bytes (file)
  fid = fopen (file, 'r');
  b = fread (fid, Inf, 'uint8=>uint8')';
  fclose (fid);
endfunction
