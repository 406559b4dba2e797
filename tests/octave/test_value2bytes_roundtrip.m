## Every kind of value value2bytes writes comes back equal through
## bytes2value, and through Octave's own MAT-file reader where it can read it.
values = [classic_values(); {
  'double NA',          [NA NaN 1]
  'complex zero imag',  complex([1 2], [0 0])
  'empty complex',      complex(zeros(0, 2), zeros(0, 2))
  'logical empty',      true(0, 1)
  'char N-d',           reshape('abcdefghijkl', 2, 3, 2)
  'char emoji',         "smile \xf0\x9f\x98\x80"
  'char rows non-ASCII', ['ñé'; 'üö']
  'char N-d non-ASCII', cat(3, ['ñé'; 'üö'], ['ßø'; 'åæ'])
  'sparse 0x0',         sparse([])
  'cell 0x3',           cell(0, 3)
  'struct long name',   struct(repmat('n', 1, 63), 1, 'b', 2)
}];

## Octave's reader gives a logical sparse matrix back as a double one, and
## can't read non-ASCII text of more than one row ("failed to convert").
load_class_differs = {'sparse logical'};
load_cannot = {'char rows non-ASCII', 'char N-d non-ASCII'};
for k = 1:rows (values)
  [label, x] = values{k, :};
  b = value2bytes (x);
  assert (isa (b, 'uint8') && rows (b) == 1, '%s: not a uint8 row', label);
  check_roundtrip (label, x, bytes2value (b));

  if (any (strcmp (label, load_cannot)))
    continue;
  endif
  f = mat_file_of (b, 'x');
  unwind_protect
    y = load (f);
  unwind_protect_cleanup
    delete (f);
  end_unwind_protect
  if (any (strcmp (label, load_class_differs)))
    check_roundtrip ([label ' (load)'], double (x), y.x);
  else
    check_roundtrip ([label ' (load)'], x, y.x);
  endif
endfor
## Octave keeps a trailing singleton dimension on some empty struct arrays;
## MATLAB has none.
x = repmat (struct (), [0 3 3 1]);
assert (size (x), [0 3 3 1]);
assert (size (bytes2value (value2bytes (x))), [0 3 3]);

## Rows of one width in bytes but not in MATLAB's chars come back padded.
assert (bytes2value (value2bytes (["\xc3\xa9"; 'ab'])), ["\xc3\xa9 "; 'ab ']);

printf ('value2bytes round trip: %d values ok, through bytes2value and load\n', rows (values));

## Old-style objects: bytes2value gives back their fields as a struct.
objects = {
  'object',             pnt(1, 'two')
  'object array',       [pnt(1, 2), pnt(3, 4)]
  'object in a cell',   {1, pnt({2}, pnt(3, 4))}
};
for k = 1:rows (objects)
  [label, x] = objects{k, :};
  b = value2bytes (x);
  assert (! isempty (strfind (char (b), 'pnt')), '%s: no class name in the stream', label);
  warning ('off', 'all', 'local');
  y = bytes2value (b);
  if (iscell (x))
    inner = struct (x{2});
    assert (isequal (y{1}, x{1}) && isequal (y{2}.x, {2}) && isequal (y{2}.yy, struct (inner.yy)), label);
  else
    check_roundtrip (label, struct (x), y);
  endif
endfor
printf ('value2bytes objects: %d values ok\n', rows (objects));
