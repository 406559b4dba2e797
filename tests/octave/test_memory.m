## 100,000 calls on small valid and invalid streams must not make the Octave
## process grow: whatever the decoder allocates, on success or on error, is
## given back. Resident size is compared after a warm-up.
1;
function kb = rss_kb ()
  t = fileread ('/proc/self/status');
  kb = str2double (regexp (t, 'VmRSS:\s*(\d+)', 'tokens', 'once'){1});
endfunction
el = @mi_element; mat = @mi_matrix; str = @mi_stream;
warning ('off', 'bytes2value:objectAsStruct');
good = {
  stream_of(pi, '-v6')
  stream_of({1, 'text', int16([1 2 3])}, '-v6')
  stream_of(struct('a', {1, 'grüße'}, 'b', {sparse([0 2; 3 0]), [1+2i 3]}), '-v6')
  stream_of({magic(3), {uint64(9), {}}}, '-v7')
  str(mat(3, 0, [1 1], el(1, int8('cls')), el(5, int32(2)), el(1, int8([97 0])), mat(6, 0, [1 1], el(9, 1))))
};
## Each fails after something was built: a cell, struct or sparse array part
## way through, inflated data, a field-name set.
cellhead = good{2};
bad = {
  cellhead(1:end - 9)
  str(mat(1, 0, [1 3], mat(6, 0, [1 1], el(9, 1)), mat(4, 0, [1 1], el(16, uint8('é')))))
  str(mat(2, 0, [1 2], el(5, int32(2)), el(1, int8([97 0])), mat(6, 0, [1 1], el(9, 1)), mat(42, 0, [1 1])))
  str(mat(5, 0, [3 1], el(5, int32([2 1])), el(5, int32([0 2])), el(9, [1 2])))
  str(mat(1, 0, [1 2], mat(6, 0, [1 1], el(9, 1)), mat(16, 0, [1 1])))
  good{4}(1:end - 4)
};
function [good_errors, bad_errors] = run (good, bad, n)
  good_errors = bad_errors = 0;
  for k = 1:n
    try
      y = bytes2value (good{mod (k, numel (good)) + 1});
    catch err
      good_errors++;
    end_try_catch
    try
      y = bytes2value (bad{mod (k, numel (bad)) + 1});
    catch err
      bad_errors++;
    end_try_catch
  endfor
endfunction
calls = 100000;
run (good, bad, 5000);                  # warm-up: 10,000 calls
before = rss_kb ();
t0 = tic ();
[good_errors, bad_errors] = run (good, bad, calls / 2);
secs = toc (t0);
after = rss_kb ();
printf ('memory: VmRSS %d kB before, %d kB after %d calls (%d errors) in %.1f s: %+d kB\n', ...
        before, after, calls, bad_errors, secs, after - before);
if (good_errors != 0 || bad_errors != calls / 2)
  error ('%d valid streams failed, %d of %d invalid ones decoded', good_errors, calls / 2 - bad_errors, calls / 2);
endif
if (after - before > 2048)
  error ('resident size grew by %d kB over %d calls', after - before, calls);
endif
