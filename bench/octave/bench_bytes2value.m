## bytes2value against the host's own fastest paths, in one Octave session.
## Run through ./run, which builds the MEX files and finds the helpers.
1;
function t = best_of (n, f)
  t = Inf;
  for k = 1:n
    tic; y = f (); t = min (t, toc);  # y: bytes2value does nothing for nargout 0
  endfor
endfunction
## Best times of f and g run by turns, each result released outside the
## timing: on a shared machine, this compares the two under the same load.
function [tf, tg] = best_by_turns (n, f, g)
  tf = tg = Inf;
  for k = 1:n
    tic; y = f (); tf = min (tf, toc); clear y
    tic; y = g (); tg = min (tg, toc); clear y
  endfor
endfunction
function kb = peak_kb ()
  txt = fileread ('/proc/self/status');
  kb = str2double (regexp (txt, 'VmHWM:\s*(\d+)', 'tokens', 'once'){1});
endfunction

## 1. A 400 MB double matrix against typecast of the same payload bytes.
x = rand (5000, 10000);
s = mi_stream (mi_matrix (6, 0, size (x), mi_element (9, x)));
at = numel (s) - 8 * numel (x) + 1;  # where the data begin
payload = s(at:end);
t_dec = best_of (3, @() bytes2value (s));
t_cast = best_of (3, @() typecast (payload, 'double'));
assert (isequal (reshape (typecast (payload, 'double'), size (x)), x));
assert (isequal (bytes2value (s), x));
printf ('400 MB double: bytes2value %.3f s, typecast %.3f s, ratio %.2f (goal <= 1.5)\n', ...
        t_dec, t_cast, t_dec / t_cast);
## The floor: a MEX file that builds the same array from the same bytes.
assert (isequal (floor_double (s, at, rows (x), columns (x)), x));
[t_dec, t_floor] = best_by_turns (5, @() bytes2value (s), @() floor_double (s, at, rows (x), columns (x)));
printf ('400 MB double, by turns: bytes2value %.3f s, MEX floor %.3f s, ratio %.2f (goal <= 1.1)\n', ...
        t_dec, t_floor, t_dec / t_floor);
clear x s payload

## 2. A cell of 100,000 small structs against load -v6 from memory-backed storage.
c = cell (1, 1e5);
for k = 1:numel (c)
  c{k} = struct ('id', k, 'name', 'abc', 'v', [1 2 3]);
endfor
f = [tempname('/dev/shm') '.mat'];
save ('-v6', f, 'c');
fid = fopen (f, 'r'); b = fread (fid, Inf, 'uint8=>uint8')'; fclose (fid);
s = [b(125:128) zeros(1, 4, 'uint8') b(129:end)];
t_dec = best_of (3, @() bytes2value (s));
t_load = best_of (3, @() load ('-v6', f));
assert (isequal (bytes2value (s), c));
delete (f);
printf ('cell of 1e5 structs (%.1f MB stream): bytes2value %.3f s, load -v6 %.3f s, ratio %.2f (goal <= 0.5)\n', ...
        numel (s) / 1e6, t_dec, t_load, t_dec / t_load);
## The floor: a MEX file that builds the same cell through the same mx calls.
assert (isequal (floor_structs (numel (c)), c));
[t_dec, t_floor] = best_by_turns (5, @() bytes2value (s), @() floor_structs (numel (c)));
printf ('cell of 1e5 structs, by turns: bytes2value %.3f s, MEX floor %.3f s, ratio %.2f (goal <= 1.3)\n', ...
        t_dec, t_floor, t_dec / t_floor);
printf ('peak memory (VmHWM): %.0f MB\n', peak_kb () / 1024);
