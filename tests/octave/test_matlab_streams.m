## Streams written by MATLAB itself, read in place from the shared fixtures.
dir = fixture_dir ('bytestream', 'MATLAB streams');
if (isempty (dir))
  return;
endif
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
