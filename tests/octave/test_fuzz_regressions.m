## Inputs the byte-stream fuzzer once found a fault with, kept as files in
## regressions/. Each must decode to the value given or raise the error named
## (one was an endless loop: ctest's time limit ends such a run).
here = fileparts (mfilename ('fullpath'));
## file, then the expected error identifier, or '' and a check of the value
cases = {
  'struct_nofields_huge', '', @(y) isstruct (y) && isempty (fieldnames (y)) ...
                                   && isequal (size (y), [2 536870915 16386])
  ## a dynamic property named "\0...": once a struct field with an empty name
  'dynamic_name_nul',     'bytes2value:badStream', []
};
for k = 1:rows (cases)
  s = read_bytes (fullfile (here, 'regressions', [cases{k, 1} '.bin']));
  if (isempty (cases{k, 2}))
    y = bytes2value (s);
    if (! cases{k, 3} (y))
      error ('%s: decoded to an unexpected %s of size %s', cases{k, 1}, class (y), mat2str (size (y)));
    endif
  else
    expect_error (cases{k, 2}, @bytes2value, s);
  endif
endfor
printf ('fuzz regressions: %d ok\n', rows (cases));
