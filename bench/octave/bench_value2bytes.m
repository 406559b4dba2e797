## value2bytes against the host's own fastest paths, in one Octave session.
## Run through ./run after a build (it finds the MEX files).
1;
function t = best_of (n, f)
  t = Inf;
  for k = 1:n
    tic; y = f (); t = min (t, toc);
  endfor
endfunction
function t = best_save (n, f, c)
  t = Inf;
  for k = 1:n
    tic; save ('-v6', f, 'c'); t = min (t, toc);
  endfor
endfunction

## 1. A 400 MB double matrix against typecast of its payload: one copy each.
x = rand (5000, 10000);
t_enc = best_of (3, @() value2bytes (x));
t_cast = best_of (3, @() typecast (x(:), 'uint8'));
b = value2bytes (x);
assert (isequal (b(65:end), typecast (x(:), 'uint8')'));
printf ('value2bytes, 400 MB double: value2bytes %.3f s, typecast %.3f s, ratio %.2f (goal <= 1.2)\n', ...
        t_enc, t_cast, t_enc / t_cast);
clear x b

## 2. A cell of 100,000 small structs against save -v6 to memory-backed storage.
c = cell (1, 1e5);
for k = 1:numel (c)
  c{k} = struct ('id', k, 'name', 'abc', 'v', [1 2 3]);
endfor
f = [tempname('/dev/shm') '.mat'];
## Each MEX call that reads a nested value leaves this Octave slower at the
## next one, whatever the value (floor_visit four times: 1.1, 1.8, 2.7,
## 4.0 s), so each runs once, the floor first: value2bytes pays for it.
t_floor = best_of (1, @() floor_visit (c));
t_enc = best_of (1, @() value2bytes (c));
t_save = best_save (3, f, c);
delete (f);
b = value2bytes (c);
assert (isequal (bytes2value (b), c));
printf ('value2bytes, cell of 1e5 structs (%.1f MB stream): value2bytes %.3f s, save -v6 %.3f s, ratio %.2f (goal <= 0.5)\n', ...
        numel (b) / 1e6, t_enc, t_save, t_enc / t_save);
printf ('  floor: visiting the cell through the mx API alone %.3f s, ratio to save -v6 %.2f\n', ...
        t_floor, t_floor / t_save);
