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

## 3. A 1x100,000 string array against the same text as a cellstr. The
## string stream is made by hand from the format (tests/octave/mcos_stream.m):
## one string object whose saved uint64 words hold the lengths and the text.
empty_struct = mi_matrix (2, 0, [1 0], mi_element (5, int32 (1)), mi_element (1, int8 ([])));
txt = arrayfun (@(k) sprintf ('item%d', k), 1:1e5, 'UniformOutput', false);
sub = struct ('names', {{'any', 'string'}}, 'classes', [0 2], 'objects', [1 1 0 1], ...
              'type1', {{[1 1 0]}}, 'type2', {{}}, 'dynamic', {{}}, ...
              'values', {{mi_string([1 1e5], txt)}}, 'defaults', {{empty_struct}}, 'version', 4);
s_str = mcos_stream (mi_opaque ('MCOS', 'string', mi_ref ([1 1], 1, 1)), sub);
s_cell = stream_of (txt, '-v6');
assert (isequal (bytes2value (s_str), txt) && isequal (bytes2value (s_cell), txt));
t_str = best_of (3, @() bytes2value (s_str));
t_cell = best_of (3, @() bytes2value (s_cell));
printf ('1x1e5 string array: bytes2value %.3f s, the cellstr %.3f s, ratio %.2f (goal <= 2)\n', ...
        t_str, t_cell, t_str / t_cell);

## 4. A cell of 10,000 objects of a class with properties a (double) and b
## (char) against a 1x10,000 struct array of the same data. Made by hand:
## each object has a type-2 block naming its two value cells.
n = 1e4;
vals = cell (1, 2 * n);
blocks = cell (1, n);
for k = 1:n
  vals{2 * k - 1} = mi_matrix (6, 0, [1 1], mi_element (9, k));
  vals{2 * k} = mi_matrix (4, 0, [1 3], mi_element (16, uint8 ('abc')));
  blocks{k} = [2 1 2 * k - 2; 3 1 2 * k - 1];
endfor
sub = struct ('names', {{'Pt', 'a', 'b'}}, 'classes', [0 1], 'objects', [ones(n, 1) zeros(n, 1) (1:n)' (1:n)'], ...
              'type1', {{}}, 'type2', {blocks}, 'dynamic', {{}}, 'values', {vals}, ...
              'defaults', {{empty_struct}}, 'version', 4);
refs = arrayfun (@(k) mi_opaque ('MCOS', 'Pt', mi_ref ([1 1], k, 1)), 1:n, 'UniformOutput', false);
s_obj = mcos_stream (mi_matrix (1, 0, [1 n], refs{:}), sub);
st = struct ('a', num2cell (1:n), 'b', 'abc');
s_st = stream_of (st, '-v6');
s_cs = stream_of (num2cell (st), '-v6');   # what the objects become: a cell of 1x1 structs
warning ('off', 'bytes2value:objectAsStruct');
y = bytes2value (s_obj);
assert (isequal ([y{:}], st) && isequal (bytes2value (s_st), st) && isequal (bytes2value (s_cs), y));
t_obj = best_of (3, @() bytes2value (s_obj));
t_st = best_of (3, @() bytes2value (s_st));
t_cs = best_of (3, @() bytes2value (s_cs));
printf (['cell of 1e4 objects: bytes2value %.3f s; the struct array %.3f s, ratio %.2f (goal <= 2); ' ...
         'the same cell of structs %.3f s, ratio %.2f\n'], t_obj, t_st, t_obj / t_st, t_cs, t_obj / t_cs);
