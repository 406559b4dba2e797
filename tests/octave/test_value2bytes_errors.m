## What value2bytes refuses, and that it refuses before making any output.
1;
function kb = peak_kb ()
  kb = str2double (regexp (fileread ('/proc/self/status'), 'VmHWM:\s*(\d+)', 'tokens', 'once'){1});
endfunction
function expect_in (msg, text)
  if (isempty (strfind (msg, text)))
    error ('message "%s" does not say "%s"', msg, text);
  endif
endfunction

## Classes the format can't carry without MATLAB's object system, named,
## and found where they sit.
expect_in (expect_error ('value2bytes:unsupportedClass', @value2bytes, @sin), 'function_handle');
expect_in (expect_error ('value2bytes:unsupportedClass', @value2bytes, containers.Map ()), ...
           'containers.Map');
msg = expect_error ('value2bytes:unsupportedClass', @value2bytes, ...
                    struct ('a', {1, {2, @(t) t + 1}}));
expect_in (msg, 'function_handle');
expect_in (msg, 'value(2).a{2}');
expect_in (expect_error ('value2bytes:unsupportedClass', @value2bytes, {pnt(1, @cos)}), ...
           'value{1}.yy');

## Limits of the format. None of these values holds much memory: an empty
## array with a huge dimension, a lazy range, and a cell whose 257
## elements share one 16 MB array but would take 4.3 GB in the stream.
before = peak_kb ();
expect_in (expect_error ('value2bytes:tooLarge', @value2bytes, zeros (0, 2^31)), 'dimension 2');
expect_error ('value2bytes:tooLarge', @value2bytes, {1, cell(2^31, 0)});
expect_in (expect_error ('value2bytes:tooLarge', @value2bytes, 1:(2^29 + 1)), 'numeric data');
big = repmat ({zeros(1, 2^24, 'uint8')}, 1, 257);
expect_error ('value2bytes:tooLarge', @value2bytes, big);
grown = (peak_kb () - before) / 1024;
assert (grown < 100, 'refused values still took %.0f MB', grown);
## Just under the limits, the same kinds of value are written.
assert (numel (value2bytes (zeros (0, 2^31 - 1))), 64);

## Nesting: 1000 levels are written and read back, 1001 are refused.
c = 1;
for k = 1:1000
  c = {c};
endfor
y = bytes2value (value2bytes (c));
for k = 1:1000                      # isequal recurses too deep for this
  assert (iscell (y) && numel (y) == 1, 'level %d is not a 1x1 cell', k);
  y = y{1};
endfor
assert (y, 1);
expect_error ('value2bytes:tooDeep', @value2bytes, {c});

## One value in, always.
expect_error ('value2bytes:badInput', @value2bytes);
expect_error ('value2bytes:badInput', @value2bytes, 1, 2);
printf ('value2bytes errors: ok\n');
