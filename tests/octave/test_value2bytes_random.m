## Random values, nested, of every kind value2bytes writes: each comes back
## equal through bytes2value, and writing what came back gives the same
## bytes again. The seed is fixed, so a failure can be replayed.
1;
function d = random_dims ()
  d = randi ([0 3], 1, randi ([2 4]));
  if (rand () < 0.5)
    d = d(1:2);
  endif
  last = [find(d != 1, 1, 'last'), 0](1);
  d = d(1:max (2, last));           # no trailing ones, as Octave's arrays have them
endfunction
function t = random_text ()
  pieces = {'a', 'Z', ' ', '0', "\xc3\xa9", "\xe2\x82\xac", "\xe6\x97\xa5", "\xf0\x9f\x98\x80"};
  t = [pieces{randi(numel (pieces), 1, randi ([0 6]))}, ''];
endfunction
function v = random_value (depth)
  classes = {'double', 'single', 'int8', 'uint8', 'int16', 'uint16', ...
             'int32', 'uint32', 'int64', 'uint64'};
  kinds = 7;
  if (depth >= 3)
    kinds = 4;                      # no more containers
  endif
  switch (randi (kinds))
    case 1
      cls = classes{randi(numel (classes))};
      v = cast (randi ([-100 100], random_dims ()), cls);
      ## Not empty: Octave gives an empty complex array back from a MEX
      ## file as a real one, and the second stream would say so.
      if (any (strcmp (cls, {'double', 'single'})) && ! isempty (v) && rand () < 0.3)
        v = complex (v, cast (randn (size (v)), cls));
      endif
    case 2
      v = rand (random_dims ()) > 0.5;
    case 3
      if (rand () < 0.5)
        v = random_text ();         # one line, any text
      else
        d = random_dims ();           # 2-D: isequal fails on nested N-d char
        v = char (randi ([32 126], d(1:2)));
      endif
    case 4
      v = sprand (randi ([0 6]), randi ([0 6]), 0.3);
      if (rand () < 0.3)
        v = v * 1i + v;
      elseif (rand () < 0.3)
        v = v != 0;
      endif
    case {5, 6}
      v = cell (random_dims ());
      for k = 1:numel (v)
        v{k} = random_value (depth + 1);
      endfor
    case 7
      names = arrayfun (@(n) char (randi ([97 122], 1, n)), randi ([1 12], 1, randi ([0 4])), ...
                        'UniformOutput', false);
      names = unique (names);
      v = repmat (cell2struct (cell (numel (names), 1), names, 1), random_dims ());
      for k = 1:numel (v)
        for f = 1:numel (names)
          v(k).(names{f}) = random_value (depth + 1);
        endfor
      endfor
  endswitch
endfunction

rand ('seed', 11); randn ('seed', 11);
n = 400;
for k = 1:n
  x = random_value (0);
  b = value2bytes (x);
  y = bytes2value (b);
  check_roundtrip (sprintf ('random value %d', k), x, y);
  if (! isequal (value2bytes (y), b))
    error ('random value %d: written again, its stream changed', k);
  endif
endfor
printf ('value2bytes random values: %d ok\n', n);
