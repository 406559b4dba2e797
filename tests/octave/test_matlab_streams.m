## Streams written by MATLAB itself, read in place from the shared fixtures.
dir = fullfile (getenv ('SHARED_FIXTURES'), 'bytestream');
if (isempty (getenv ('SHARED_FIXTURES')) || ! exist (dir, 'dir'))
  printf ('SKIP: MATLAB streams: fixture folder %s is absent\n', dir);
  return;
endif
function b = read_bytes (file)
  fid = fopen (file, 'r');
  b = fread (fid, Inf, 'uint8=>uint8')';
  fclose (fid);
endfunction
cases = {
  'complex_scalar',  3+4i
  'sparse_2x2',      sparse([0 7; 8 0])
  'struct_nd_2x3x2', reshape(struct('a', num2cell(1:12)), 2, 3, 2)
};
for k = 1:rows (cases)
  check_roundtrip (cases{k, 1}, cases{k, 2}, ...
                   bytes2value (read_bytes (fullfile (dir, [cases{k, 1} '.bin']))));
endfor
printf ('MATLAB streams: %d ok\n', rows (cases));
