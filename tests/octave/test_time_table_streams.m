## Time, categorical, table and timetable objects made by hand from the
## format's facts, for what the MATLAB fixtures lack (NaT, sub-millisecond
## data, zones this system has or lacks), and values that disagree with
## themselves, each refused as a malformed stream.
el = @mi_element; mat = @mi_matrix;
empty_struct = mat (2, 0, [1 0], el(5, int32(1)), el(1, int8([])));
text = @(t) mat (4, 0, [1 numel(t)], el(16, uint8(t)));
num = @(x) mat (6, 0, size (x), el(9, x));
cellof = @(dims, varargin) mat (1, 0, dims, varargin{:});
function m = mstruct (varargin)   # a 1x1 struct of name/value pairs (values: miMATRIX elements)
  names = varargin(1:2:end);
  slot = 32;
  nb = zeros (1, slot * numel (names), 'int8');
  for k = 1:numel (names)
    nb((k-1)*slot + (1:numel (names{k}))) = int8 (names{k});
  endfor
  m = mi_matrix (2, 0, [1 1], mi_element(5, int32(slot)), mi_element(1, nb), varargin{2:2:end});
endfunction
## One object of class cls whose type-2 properties are the name/value pairs;
## more = {class, name/value pairs} adds object 2 of a second class.
function s = one_object (cls, props, more)
  empty_struct = mi_matrix (2, 0, [1 0], mi_element(5, int32(1)), mi_element(1, int8([])));
  n = numel (props) / 2;
  names = [props(1:2:end) {cls}];
  sub = struct ('names', {names}, 'classes', [0 n+1], 'objects', [1 0 1 1], 'type1', {{}}, ...
                'type2', {{[(1:n)' ones(n, 1) (0:n-1)']}}, 'dynamic', {{}}, 'values', {props(2:2:end)}, ...
                'defaults', {{empty_struct}}, 'version', 4);
  if (nargin > 2)
    m = numel (more{2}) / 2;
    first = numel (names);
    sub.names = [names more{2}(1:2:end) more(1)];
    sub.classes(2, :) = [0 numel(sub.names)];
    sub.objects(2, :) = [2 0 2 2];
    sub.type2{2} = [(first + (1:m))' ones(m, 1) (n + (0:m-1))'];
    sub.values = [sub.values more{2}(2:2:end)];
    sub.defaults{2} = empty_struct;
  endif
  s = mcos_stream (mi_opaque ('MCOS', cls, mi_ref ([1 1], 1, 1)), sub);
endfunction
near = @(a, b) isequal (size (a), size (b)) && all ((isnan (a(:)) & isnan (b(:))) | abs (a(:) - b(:)) <= 1e-12 * abs (b(:)));

## datetime: NaT, sub-millisecond data, zones.
assert (near (bytes2value (one_object ('datetime', {'data', num([NaN 0]), 'tz', text('')})), [NaN 719529]));
sub_ms = mat (6, 8, [1 1], el(9, 86400000), el(9, 0.25));
assert (near (bytes2value (one_object ('datetime', {'data', sub_ms})), 719530 + 0.25 / 86400000));
assert (near (bytes2value (one_object ('datetime', {'data', num(0), 'tz', text('Asia/Kolkata')})), 719529 + 5.5 / 24));
y = check_warnings ('unknown zone', @() bytes2value (one_object ('datetime', {'data', num([0 1]), 'tz', text('Mars/Olympus_Mons')})), ...
                    {'bytes2value:unknownTimeZone'});
assert (near (y, 719529 + [0 1] / 86400000));

## Values that disagree with themselves.
cat_names = cellof ([3 1], text('a'), text('b'), text('c'));
col3 = num ([1; 2; 3]);
tbl = @(varargin) one_object ('table', [{'nrows', num(3), 'nvars', num(1), 'varnames', cellof([1 1], text('x')), ...
                                         'data', cellof([1 1], col3)} varargin]);
tt_any = @(rows, names, data) mstruct ('data', data, 'numRows', num(rows), 'numVars', num(1), ...
                                       'varNames', names, 'dimNames', cellof([1 2], text('Time'), text('Variables')), ...
                                       'rowTimes', mi_ref([1 1], 2, 2));
tt = @(rows, millis) one_object ('timetable', {'any', tt_any(rows, cellof([1 1], text('x')), cellof([1 1], col3))}, ...
                                 {'duration', {'millis', num(millis)}});
assert (bytes2value (tbl ()).x, [1; 2; 3]);
assert (bytes2value (tt (3, [0; 1; 2])).Time, [0; 1; 2] / 86400000);
bad = {
  'zone name that is a path',   one_object('datetime', {'data', num(0), 'tz', text('../../etc/passwd')})
  'zone that is not text',      one_object('datetime', {'data', num(0), 'tz', num(5)})
  'datetime data not double',   one_object('datetime', {'data', text('x')})
  'calendarDuration sizes',     one_object('calendarDuration', {'components', mstruct('months', num([1 2]), 'days', num([1 2 3]), 'millis', num(0))})
  'categorical code too big',   one_object('categorical', {'categoryNames', cat_names, 'codes', mat(9, 0, [1 2], el(2, uint8([1 4])))})
  'table: more variables than names', tbl('nvars', num(2))
  'table: rows disagree',       tbl('nrows', num(2))
  'table: a name twice',        one_object('table', {'nrows', num(3), 'nvars', num(2), 'varnames', cellof([1 2], text('x'), text('x')), 'data', cellof([1 2], col3, col3)})
  'table: a reserved name',     tbl('varnames', cellof([1 1], text('Properties')))
  'table: row names disagree',  tbl('rownames', cellof([2 1], text('r1'), text('r2')))
  'table: a count not whole',   tbl('nrows', num(2.5))
  'timetable: row times rows',  tt(3, [0; 1])
  'timetable: data rows',       one_object('timetable', {'any', tt_any(2, cellof([1 1], text('x')), cellof([1 1], col3))}, {'duration', {'millis', num([0; 1])}})
};
expect_bad_streams (bad);
printf ('time and table streams: ok\n');
