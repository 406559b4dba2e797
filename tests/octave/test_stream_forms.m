## Hand-made streams for what Octave's writer never produces: MATLAB's own
## forms, other writers' narrowed storage, big-endian streams, and classes no
## mx API can rebuild.
1;
function check (label, expected, stream)
  check_roundtrip (label, expected, bytes2value (stream));
endfunction
el = @mi_element; mat = @mi_matrix; str = @mi_stream;
name1 = @(n) el(1, int8([double(n) zeros(1, 8 - numel (n))]));   # one field-name slot of 8

## Storage narrower or wider than the class converts, saturating for integers.
check ('double as uint8', [1 2; 3 250], str (mat (6, 0, [2 2], el(2, uint8([1 3 2 250])))));
check ('double as int16', [-5 7], str (mat (6, 0, [1 2], el(3, int16([-5 7])))));
check ('int8 from double saturates', int8([127 -128 3 0]), ...
       str (mat (8, 0, [1 4], el(9, [300 -1e9 2.6 NaN]))));
check ('uint16 from int32 saturates', uint16([0 65535 12]), ...
       str (mat (11, 0, [1 3], el(5, int32([-4 70000 12])))));
check ('int64 from uint64 saturates', int64([intmax('int64') 5]), ...
       str (mat (14, 0, [1 2], el(13, uint64([intmax('uint64') 5])))));
check ('single from double', single([0.5 -2]), str (mat (7, 0, [1 2], el(9, [0.5 -2]))));
check ('complex from int8 parts', [1+4i 2-5i], ...
       str (mat (6, 8, [1 2], el(1, int8([1 2])), el(1, int8([4 -5])))));
check ('logical from 7', [true false true], str (mat (9, 2, [1 3], el(2, uint8([7 0 1])))));

## A sparse matrix's size is bounded by its stored values, not by rows x
## columns: 1e9 x 1e6 with one value (Octave saves and loads it too).  A dense
## array of that size stays refused.
## (isequal would expand it: compare the stored values.)
big = sparse (1e9, 1e6); big(5, 7) = 3;
same_sparse = @(a, b) issparse (a) && isequal (size (a), size (b)) && nnz (a) == nnz (b) ...
                      && isequal (nonzeros (a), nonzeros (b)) && isequal (find (a), find (b));
assert (same_sparse (bytes2value (str (mat (5, 0, [1e9 1e6], el(5, int32(4)), ...
                                           el(5, int32([zeros(1, 7) ones(1, 1e6 - 6)])), el(9, 3)))), big));
assert (same_sparse (bytes2value (stream_of (big, '-v6')), big));
expect_error ('bytes2value:badStream', @bytes2value, str (mat (6, 0, [2^31-1 2^31-1], el(9, []))));

## Char in every encoding; MATLAB's UTF-16 elements become UTF-8 text here.
check ('char utf8', 'hello', str (mat (4, 0, [1 5], el(16, uint8('hello')))));
check ('char uint16 non-ASCII', 'zürich', str (mat (4, 0, [1 6], el(4, uint16([122 252 114 105 99 104])))));
check ('char utf32 astral', "a\xF0\x9F\x98\x80", str (mat (4, 0, [1 3], el(18, uint32([97 hex2dec('1F600')])))));
check ('char utf16 rows', ["é "; "ab"], str (mat (4, 0, [2 2], el(17, uint16([233 97 32 98])))));
expect_error ('bytes2value:badStream', @bytes2value, str (mat (4, 0, [1 2], el(16, uint8([65 255])))));
expect_error ('bytes2value:badStream', @bytes2value, str (mat (4, 0, [1 3], el(16, uint8('ab')))));

## Sparse single (MATLAB R2025a on) is class 7 with bit 0x10: sparse double.
check ('sparse single', sparse([0 7; 8 0]), ...
       str (mat (7, 16, [2 2], el(5, int32([1 0])), el(5, int32([0 1 2])), el(7, single([8 7])))));
## An empty value given as a bare matrix tag, as some writers store it.
check ('bare empty', {[], 1}, str (mat (1, 0, [1 2], uint8([14 0 0 0 0 0 0 0]), ...
                                         mat (6, 0, [1 1], el(9, 1)))));
## Only the first top-level element is the value.
check ('second element ignored', 5, [str(mat (6, 0, [1 1], el(9, 5))) mat(9, 0, [1 1], el(2, uint8(1)))]);
## The stored field-name length is honoured whatever it is.
check ('field slot 3', struct ('ab', 1, 'c', 2), ...
       str (mat (2, 0, [1 1], el(5, int32(3)), el(1, int8([double('ab') 0 double('c') 0 0])), ...
                 mat (6, 0, [1 1], el(9, 1)), mat (6, 0, [1 1], el(9, 2)))));

## Big-endian streams ("MI") are swapped.
be = uint8([1 0 77 73 0 0 0 0, 0 0 0 14 0 0 0 56, 0 0 0 6 0 0 0 8 0 0 0 6 0 0 0 0, ...
            0 0 0 5 0 0 0 8 0 0 0 1 0 0 0 1, 0 0 0 1 0 0 0 0, ...
            0 0 0 9 0 0 0 8 64 9 33 251 84 68 45 24]);
check ('big-endian double', pi, be);

## An old-style object comes back as the struct of its fields, with a warning.
obj = str (mat (3, 0, [1 1], el(1, int8('polynom')), el(5, int32(8)), name1('c'), ...
                mat (6, 0, [1 3], el(9, [1 2 3]))));
lastwarn ('');
check ('old-style object', struct ('c', [1 2 3]), obj);
[msg, id] = lastwarn ();
assert (id, 'bytes2value:objectAsStruct');
assert (! isempty (strfind (msg, 'polynom')));

## What this host cannot hold or no mx API can rebuild names its class.
msg = expect_error ('bytes2value:unsupportedClass', @bytes2value, ...
                    str (mat (12, 8, [1 1], el(5, int32(1)), el(5, int32(2)))));
assert (! isempty (strfind (msg, 'complex int32')));
## Older MATLAB releases tag a logical sparse array's values miDOUBLE with
## one byte per value: read exactly that form; a value byte other than 0 or 1,
## or the same bytes under a double sparse array, stays an error.
lsp = @(cls, flagbits, vals) str (mat (cls, flagbits, [3 2], el(5, int32([0 2])), el(5, int32([0 1 2])), vals));
check ('logical sparse, byte values', sparse (logical ([1 0; 0 0; 0 1])), lsp (5, 2, el(9, uint8([1 1]))));
check ('logical sparse, byte values, class 9', sparse (logical ([1 0; 0 0; 0 1])), lsp (9, 2 + 16, el(9, uint8([1 1]))));
expect_error ('bytes2value:badStream', @bytes2value, lsp (5, 2, el(9, uint8([1 2]))));
expect_error ('bytes2value:badStream', @bytes2value, lsp (5, 2, el(9, uint8([1 1 1]))));
expect_error ('bytes2value:badStream', @bytes2value, lsp (5, 0, el(9, uint8([1 1]))));

## An N-d char array of non-ASCII text keeps its dimensions: every row of
## every page is padded to the widest row in UTF-8.
y = bytes2value (str (mat (4, 0, [2 2 2], el(17, uint16([97 99 98 100 233 120 32 121])))));
assert (size (y), [2 3 2]);
assert (y, cat (3, ['ab ';'cd '], [[195 169 32]; 'xy ']));
y = bytes2value (str (mat (4, 0, [1 2 1 2], el(17, uint16([8364 98 99 100])))));
assert (y, reshape ([[226 130 172] 'b' 'cd  '], 1, 4, 1, 2));

## A function handle or an MCOS object without content is malformed; a type
## system other than MCOS cannot be rebuilt, whatever follows.
expect_error ('bytes2value:badStream', @bytes2value, str (mat (16, 0, [1 1])));
opaque = @(system) [uint8([14 0 0 0 0 0 0 0]) el(6, uint32([17 0])) el(1, int8([])) ...
                    el(1, int8(system)) el(1, int8('Simulink.Parameter'))];
fix = @(o) [o(1:4) typecast(uint32(numel (o) - 8), 'uint8') o(9:end)];
expect_error ('bytes2value:badStream', @bytes2value, str (fix (opaque ('MCOS'))));
msg = expect_error ('bytes2value:unsupportedClass', @bytes2value, str (fix (opaque ('java'))));
assert (! isempty (strfind (msg, 'Simulink.Parameter')));
printf ('stream forms: ok\n');
