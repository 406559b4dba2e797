## -*- texinfo -*-
## f = mat_file_of (s, name): writes the byte stream s as a MAT file holding
## one variable called name (1 to 4 characters) and answers its path: a
## 128-byte header ending in the stream's version and byte-order mark, then
## the stream's element with its empty array name replaced by name.
function f = mat_file_of (s, name)
  ## The name element follows the flags (16 bytes) and the dimensions.
  ndims_bytes = double (typecast (s(37:40), 'uint32'));
  at = 32 + 8 + 8 * ceil (ndims_bytes / 8);
  assert (isequal (s(at+1:at+8), uint8 ([1 0 0 0 0 0 0 0])));
  assert (numel (name) >= 1 && numel (name) <= 4);
  ## The small form takes the same 8 bytes, so no byte count changes.
  s(at+1:at+8) = [uint8([1 0 numel(name) 0]) uint8(name) zeros(1, 4 - numel (name), 'uint8')];
  header = [repmat(uint8(' '), 1, 116) zeros(1, 8, 'uint8') s(1:4)];
  f = [tempname() '.mat'];
  fid = fopen (f, 'w');
  fwrite (fid, [header s(9:end)]);
  fclose (fid);
endfunction
