## Octave's own MAT writer as the oracle: every value, saved with -v6 and with
## -v7 (compressed) and turned into a stream, must come back equal.
values = classic_values ();
for k = 1:rows (values)
  for fmt = {'-v6', '-v7'}
    label = sprintf ('%s (%s)', values{k, 1}, fmt{1});
    check_roundtrip (label, values{k, 2}, bytes2value (stream_of (values{k, 2}, fmt{1})));
  endfor
endfor
printf ('Octave round trip: %d values ok\n', rows (values));
