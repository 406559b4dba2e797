## Hostile input: every call returns a value or raises bytes2value:badStream
## (or names an unsupported class), and Octave survives to the end.
1;
function ok = acceptable (err)
  ok = any (strcmp (err.identifier, {'bytes2value:badStream', 'bytes2value:unsupportedClass'}));
endfunction
el = @mi_element; mat = @mi_matrix; str = @mi_stream;
warning ('off', 'bytes2value:objectAsStruct');

samples = {
  stream_of({1, 'text', int16([1 2 3]); sparse([0 2; 3 0]), struct('a', {1, 'b'}), true}, '-v6')
  stream_of(struct('x', {[1+2i 3], single(4)}, 'y', 'grüße'), '-v6')
  stream_of({magic(3), {uint64(9), {}}}, '-v7')
};

## Every truncation: an error, or (when only padding was cut) the same value.
for s = samples'
  whole = bytes2value (s{1});
  for n = 0:numel (s{1}) - 1
    try
      y = bytes2value (s{1}(1:n));
      if (! isequaln (y, whole))
        error ('truncation to %d bytes gave a different value', n);
      endif
    catch err
      if (! strcmp (err.identifier, 'bytes2value:badStream'))
        error ('truncation to %d bytes: %s %s', n, err.identifier, err.message);
      endif
    end_try_catch
  endfor
endfor

## Seeded random byte changes.
rand ('seed', 4242);
calls = 0; errors = 0;
for s = samples'
  for trial = 1:1200
    m = s{1};
    at = randi (numel (m), 1, randi (4));
    m(at) = uint8 (randi ([0 255], size (at)));
    calls++;
    try
      y = bytes2value (m);
    catch err
      errors++;
      if (! acceptable (err))
        error ('changed bytes %s: %s %s', mat2str (at), err.identifier, err.message);
      endif
    end_try_catch
  endfor
endfor
if (errors == 0 || errors == calls)
  error ('random changes: %d of %d calls failed; expected some of each', errors, calls);
endif

## Specific lies, each refused with what is wrong and where.
nested = mat (6, 0, [1 1], el(9, 1));
for k = 1:1001
  nested = mat (1, 0, [1 1], nested);
endfor
bomb = stream_of (zeros (1, 2e6), '-v7');
bomb = [bomb(1:8) typecast(uint32([15 200]), 'uint8') bomb(17:216)];
lies = {
  'no byte-order mark',   uint8([0 1 0 0 0 0 0 0 14 0 0 0 0 0 0 0])
  'count past the end',   str([uint8([9 0 0 0 255 255 255 127]) zeros(1, 8, 'uint8')])
  'not a matrix',         str(el(9, 1))
  'bad tag',              str(uint8([99 0 0 0 0 0 0 0]))
  'dims overflow',        str(mat(2, 0, [2^31-1 2^31-1 2^31-1], el(5, int32(8)), el(1, int8([]))))
  'negative dimension',   str(mat(6, 0, [1 -1], el(9, [])))
  'dims beyond data',     str(mat(6, 0, [1000 1000], el(9, 1)))
  'cell beyond bytes',    str(mat(1, 0, [1e6 1e6]))
  'struct beyond bytes',  str(mat(2, 0, [1e5 1], el(5, int32(8)), el(1, int8('abcdefg'))))
  'duplicate field',      str(mat(2, 0, [1 1], el(5, int32(2)), el(1, int8([97 0 97 0])), nested, nested))
  'slot does not divide', str(mat(2, 0, [1 1], el(5, int32(3)), el(1, int8([97 0 0 98]))))
  'sparse row outside',   str(mat(5, 0, [2 1], el(5, int32(5)), el(5, int32([0 1])), el(9, 1)))
  'sparse rows unsorted', str(mat(5, 0, [3 1], el(5, int32([2 1])), el(5, int32([0 2])), el(9, [1 2])))
  'sparse jc falling',    str(mat(5, 0, [3 2], el(5, int32([0 1])), el(5, int32([0 2 1])), el(9, [1 2])))
  'sparse too few values', str(mat(5, 0, [3 1], el(5, int32([0 1])), el(5, int32([0 2])), el(9, 1)))
  'sparse N-d',           str(mat(5, 0, [1 1 1], el(5, int32(0)), el(5, int32([0 1])), el(9, 1)))
  'char count',           str(mat(4, 0, [1 4], el(16, uint8('abc'))))
  'unknown class',        str(mat(42, 0, [1 1], el(9, 1)))
  'nesting too deep',     str(nested)
  'zlib bomb',            bomb
};
for k = 1:rows (lies)
  msg = expect_error ('bytes2value:badStream', @bytes2value, lies{k, 2});
  if (isempty (regexp (msg, 'at byte \d+', 'once')))
    error ('%s: message gives no offset: %s', lies{k, 1}, msg);
  endif
endfor
printf ('malformed streams: %d truncations, %d changed streams (%d refused), %d lies ok\n', ...
        sum (cellfun (@numel, samples)), calls, errors, rows (lies));
