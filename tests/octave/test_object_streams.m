## Object streams made by hand from the format's facts, for what the MATLAB
## fixtures lack: metadata versions 2 and 3, missing and non-ASCII strings,
## objects nested in cells and structs, defaults, cycles, object arrays; then
## hostile subsystems, each refused as a malformed stream with its offset.
el = @mi_element; mat = @mi_matrix;
empty_struct = mat (2, 0, [1 0], el(5, int32(1)), el(1, int8([])));
scalar = @(x) mat (6, 0, [1 1], el(9, x));
text = @(t) mat (4, 0, [1 numel(t)], el(16, uint8(t)));
function s = hello (version)
  s = struct ('names', {{'any', 'string'}}, 'classes', [0 2], 'objects', [1 1 0 1], ...
              'type1', {{[1 1 0]}}, 'type2', {{}}, 'dynamic', {{}}, ...
              'values', {{mi_string([1 1], {'Hello'})}}, ...
              'defaults', {{mi_matrix(2, 0, [1 0], mi_element(5, int32(1)), mi_element(1, int8([])))}}, ...
              'version', version);
endfunction
str_ref = mi_opaque ('MCOS', 'string', mi_ref ([1 1], 1, 1));

## Strings, in every metadata version.
for v = 2:4
  assert (bytes2value (mcos_stream (str_ref, hello (v))), 'Hello');
endfor
sub = hello (4);
sub.values = {mi_string([1 3], {'a', NaN, 'b'})};
assert (bytes2value (mcos_stream (str_ref, sub)), {'a', '', 'b'});
sub.values = {mi_string([1 1], {NaN})};
assert (bytes2value (mcos_stream (str_ref, sub)), '');
sub.values = {mi_string([2 1 2], {'é', '€', '😀', ''})};
assert (bytes2value (mcos_stream (str_ref, sub)), reshape ({'é', '€', '😀', ''}, 2, 1, 2));
sub.values = {mi_string([0 3], {})};
assert (size (bytes2value (mcos_stream (str_ref, sub))), [0 3]);

## Objects nested in a cell and a struct field of the value.
sub = hello (4);
assert (bytes2value (mcos_stream (mat (1, 0, [1 2], str_ref, scalar (7)), sub)), {'Hello', 7});
field = mat (2, 0, [1 1], el(5, int32(2)), el(1, [int8('s') 0]), str_ref);
assert (bytes2value (mcos_stream (field, sub)), struct ('s', 'Hello'));

## A user class: a default (itself a string object), a saved value, a saved
## integer, a value holding a bare reference inside a cell; an object array
## with an id 0; a handle whose property refers to itself (a cycle).
names = {'any', 'string', 'Pt', 'a', 'b', 'c', 'self'};
user = struct ('names', {names}, 'classes', [0 2; 0 3], 'version', 4, 'dynamic', {{}});
user.objects = [1 1 0 1; 2 0 1 2; 2 0 2 3; 1 2 0 4];
user.type1 = {[1 1 0], [1 1 3]};
user.type2 = {[4 1 1; 5 2 7], [7 1 2]};
user.values = {mi_string([1 1], {'dflt'}), scalar(1.5), mat(1, 0, [1 1], mi_ref([1 1], 4, 1)), ...
               mi_string([1 1], {'in cell'})};
user.defaults = {empty_struct, mat(2, 0, [1 1], el(5, int32(2)), el(1, [int8('c') 0]), mi_ref([1 1], 1, 1))};
pt = @(dims, ids) mi_opaque ('MCOS', 'Pt', mi_ref (dims, ids, 2));
y = check_warnings ('user object', @() bytes2value (mcos_stream (pt ([1 1], 2), user)), ...
                    {'bytes2value:objectAsStruct'});
assert (y, struct ('c', 'dflt', 'a', 1.5, 'b', 7));
y = check_warnings ('ref in a cell', @() bytes2value (mcos_stream (pt ([1 1], 3), user)), ...
                    {'bytes2value:objectAsStruct'});
assert (y, struct ('c', 'dflt', 'self', {{'in cell'}}));
looped = mcos_stream (pt ([1 1], 3), setfield (user, 'values', [user.values(1:2) {mi_ref([1 1], 3, 2)} user.values(4)]));
y = check_warnings ('cycle', @() bytes2value (looped), {'bytes2value:objectAsStruct', 'bytes2value:cycle'});
assert (y, struct ('c', 'dflt', 'self', []));
y = check_warnings ('array', @() bytes2value (mcos_stream (pt ([2 1], [2 2]), user)), {'bytes2value:objectAsStruct'});
assert (y, repmat (struct ('c', 'dflt', 'a', 1.5, 'b', 7), 2, 1));
y = bytes2value (mcos_stream (pt ([1 2], [2 0]), user));
assert (y, {struct('c', 'dflt', 'a', 1.5, 'b', 7), []});

## Dynamic properties, and an object listed as its own.
dyn = struct ('names', {{'Name', 'Box', 'meta', 'DynamicProperty', 'DynamicName_', 'DynamicValue_', 'v'}}, ...
              'classes', [0 2; 3 4], 'version', 4, 'type1', {{}}, 'defaults', {{empty_struct, empty_struct}});
dyn.objects = [1 0 1 1; 2 0 2 2];
dyn.type2 = {[1 1 0], [5 1 1; 6 1 2]};
dyn.values = {text('box'), text('v'), scalar(42)};
dyn.dynamic = {[], 2, []};
box = mi_opaque ('MCOS', 'Box', mi_ref ([1 1], 1, 1));
assert (bytes2value (mcos_stream (box, dyn)), struct ('Name', 'box', 'v', 42));
dyn.dynamic = {[], 1, []};
y = check_warnings ('own dynamic property', @() bytes2value (mcos_stream (box, dyn)), ...
                    {'bytes2value:objectAsStruct', 'bytes2value:cycle'});
assert (y, struct ('Name', 'box'));

## Function handles (class 16) of each kind, without a subsystem.
names16 = @(varargin) [el(5, int32(16)) el(1, int8(cell2mat(cellfun(@(n) [double(n) zeros(1, 16 - numel (n))], varargin, 'UniformOutput', false))))];
fh_inner = @(fn, type) mat (2, 0, [1 1], names16 ('function', 'type', 'file'), text (fn), text (type), text (''));
fh = @(fn, type) mi_stream (mat (16, 0, [1 1], mat (2, 0, [1 1], ...
       names16 ('matlabroot', 'separator', 'sentinel', 'function_handle'), text ('C:\M'), text ('\'), text ('@'), fh_inner (fn, type))));
H = 'bytes2value:approximateHandle';
handles = {   # stored function and type, func2str of the result (or '' for a refusal), warnings
  'cos',              'simple',         'cos',        {}
  'sf%12@(x)x+1',     'anonymous',      '@(x) x + 1', {}
  'sf%0@(x) x +* 1',  'anonymous',      '',           {H}   # Octave cannot parse it: the text comes back
  'mylocal',          'scopedfunction', 'mylocal',    {H}
  'outer/inner',      'nested',         'inner',      {H}
  'system(1)',        'simple',         '',           {}
  'sf%0x+1',          'anonymous',      '',           {}
};
for k = 1:rows (handles)
  [fn, type, want, warns] = handles{k, :};
  s = fh (fn, type);
  if (isempty (want) && isempty (warns))
    expect_error ('bytes2value:badStream', @bytes2value, s);
    continue;
  endif
  y = check_warnings (fn, @() bytes2value (s), warns);
  if (isempty (want))
    assert (y, fn(5:end));
  else
    assert (func2str (y), want);
  endif
endfor

## A chain of references counts toward the nesting limit.
n = 2000;
chain = struct ('names', {{'Link', 'next'}}, 'classes', [0 1], 'version', 4, 'type1', {{}}, ...
                'dynamic', {{}}, 'defaults', {{empty_struct}});
chain.objects = [ones(n, 1) zeros(n, 1) (1:n)' (1:n)'];
chain.type2 = arrayfun (@(k) [2 1 k - 1], 1:n, 'UniformOutput', false);
chain.values = [arrayfun(@(k) mi_ref([1 1], k + 1, 1), 1:n - 1, 'UniformOutput', false) {scalar(0)}];
warning ('off', 'bytes2value:objectAsStruct');
msg = expect_error ('bytes2value:badStream', @bytes2value, mcos_stream (mi_opaque ('MCOS', 'Link', mi_ref ([1 1], 1, 1)), chain));
assert (! isempty (strfind (msg, 'deeper')), msg);
chain.objects = chain.objects(1:50, :); chain.type2 = chain.type2(1:50); chain.values = [chain.values(1:49) {scalar(0)}];
y = bytes2value (mcos_stream (mi_opaque ('MCOS', 'Link', mi_ref ([1 1], 1, 1)), chain));
for k = 1:49
  y = y.next;
endfor
assert (y, struct ('next', 0));
warning ('on', 'bytes2value:objectAsStruct');
printf ('object streams: %d function handles, a chain of references ok\n', rows (handles));
printf ('object streams: values ok\n');

## Hostile subsystems: each is refused with an offset in the subsystem.
function s = poke (s, at, word)   # overwrite a uint32 of the metadata (0-based offset)
  m = strfind (char (s), char (uint8 ([4 0 0 0 2 0 0 0])));  # version 4, 2 names
  s(m(1) + at + (0:3)) = typecast (uint32 (word), 'uint8');
endfunction
## In hello's metadata: names to 56, classes to 88, the type-1 blocks (its
## record at 100: name, type, value) to 112, object 1 at 136.
good = mcos_stream (str_ref, hello (4));
bad = {
  'id out of range',      mcos_stream(mi_opaque('MCOS', 'string', mi_ref([1 1], 2, 1)), hello(4))
  'class id mismatch',    mcos_stream(mi_opaque('MCOS', 'string', mi_ref([1 1], 1, 2)), hello(4))
  'sizes and ids differ', mcos_stream(mi_opaque('MCOS', 'string', mi_ref([2 1], 1, 1)), hello(4))
  'no subsystem',         mi_stream(str_ref)
  'block count too big',  poke(good, 96, 1000)
  'version 5',            poke(good, 0, 5)
  'version 1',            poke(good, 0, 1)
  'offset past the end',  poke(good, 8 + 4 * 7, 4096)
  'offsets falling',      poke(good, 8 + 4 * 2, 48)
  'too many names',       poke(good, 4, 1e6)
  'value index past P',   poke(good, 108, 9)
  'record type 3',        poke(good, 104, 3)
  'object class 0',       poke(good, 136, 0)
  'missing block',        poke(good, 148, 7)
};
msgs = expect_bad_streams (bad);
for k = 1:rows (bad)
  if (! any (strcmp (bad{k, 1}, {'id out of range', 'class id mismatch', 'sizes and ids differ', 'no subsystem'})) ...
      && isempty (strfind (msgs{k}, 'subsystem')))
    error ('%s: the message does not name the subsystem: %s', bad{k, 1}, msgs{k});
  endif
endfor

## Every truncation of two object streams, and seeded byte changes inside
## the subsystem: a value or a refusal, never another kind of failure.
user_stream = mcos_stream (pt ([1 1], 2), user);
warning ('off', 'bytes2value:objectAsStruct');
warning ('off', 'bytes2value:cycle');
for s = {good, user_stream}
  s = s{1};
  for n = 1:numel (s) - 1
    try
      y = bytes2value (s(1:n));
      assert (n >= numel (s) - 7, 'a stream cut at %d of %d bytes decoded', n, numel (s));
    catch err
      if (! strcmp (err.identifier, 'bytes2value:badStream'))
        rethrow (err);
      endif
    end_try_catch
  endfor
endfor
rand ('seed', 9);
first = strfind (char (user_stream), char (uint8 ([0 1 73 77])));
changes = 0;
for k = 1:2000
  s = user_stream;
  at = first(2) + floor (rand (1, 3) * (numel (s) - first(2)));
  s(at) = uint8 (floor (rand (1, 3) * 256));
  try
    y = bytes2value (s);
  catch err
    if (! any (strcmp (err.identifier, {'bytes2value:badStream', 'bytes2value:unsupportedClass'})))
      rethrow (err);
    endif
    changes += 1;
  end_try_catch
endfor
warning ('on', 'bytes2value:objectAsStruct');
warning ('on', 'bytes2value:cycle');

## Sharing cannot multiply work without bound: each level refers 64 times to
## the next, 64^5 objects in a few hundred bytes.
share = struct ('names', {{'L', 'x'}}, 'classes', [0 1], 'version', 4, 'type1', {{}}, ...
                'dynamic', {{}}, 'defaults', {{empty_struct}});
share.objects = [1 0 1 1; 1 0 2 2; 1 0 3 3; 1 0 4 4; 1 0 5 5; 1 0 6 6];
share.type2 = {[2 1 0], [2 1 1], [2 1 2], [2 1 3], [2 1 4], zeros(0, 3)};
refs = @(id) mat (1, 0, [1 64], repmat (mi_ref ([1 1], id, 1), 1, 64));
share.values = {refs(2), refs(3), refs(4), refs(5), refs(6)};
tic;
msg = expect_error ('bytes2value:badStream', @bytes2value, mcos_stream (mi_opaque ('MCOS', 'L', mi_ref ([1 1], 1, 1)), share));
assert (! isempty (strfind (msg, 'referenced so often')), msg);
printf ('object streams: %d hostile, %d truncations, %d changes (%d refused), sharing cut after %.1f s ok\n', ...
        rows (bad), numel (good) + numel (user_stream), 2000, changes, toc);
