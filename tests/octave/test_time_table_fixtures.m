## MATLAB's datetime, duration, calendarDuration, categorical, table and
## timetable values, read in place from the shared fixtures: each decodes to
## the Octave value the contract gives. Expected times are computed here
## from the dates the fixtures' MATLAB values state, with Octave's datenum.
dir = fixture_dir ('bytestream-objects', 'time and table streams');
if (isempty (dir))
  return;
endif
## Same value, class, size, and (for structs) field order, at every depth;
## numbers within the contract's relative tolerance.
function same (label, got, want)
  if (! strcmp (class (got), class (want)) || ! isequal (size (got), size (want)))
    error ('%s: a %s %s, expected a %s %s', label, mat2str (size (got)), class (got), mat2str (size (want)), class (want));
  endif
  if (isstruct (want))
    if (! isequal (fieldnames (got), fieldnames (want)))
      error ('%s: fields %s, expected %s', label, strjoin (fieldnames (got)', ','), strjoin (fieldnames (want)', ','));
    endif
    for k = 1:numel (want)
      for f = fieldnames (want)'
        same ([label '.' f{1}], got(k).(f{1}), want(k).(f{1}));
      endfor
    endfor
  elseif (iscell (want))
    for k = 1:numel (want)
      same (sprintf ('%s{%d}', label, k), got{k}, want{k});
    endfor
  elseif (isfloat (want))
    bad = ! ((isnan (got) & isnan (want)) | abs (got - want) <= 1e-12 * max (abs (want), 1e-300));
    if (any (bad(:)))
      error ('%s: %s, expected %s', label, mat2str (got, 17), mat2str (want, 17));
    endif
  elseif (! isequal (got, want))
    error ('%s: value differs', label);
  endif
endfunction

cd3 = @(m, d, t) struct ('months', m, 'days', d, 'time', t);
day = 86400;
## A table's struct: variables in order, then Properties (name/value pairs
## after the names override Properties' fields).
function t = tbl (names, cols, varargin)
  t = struct ();
  for k = 1:numel (names)
    t.(names{k}) = cols{k};
  endfor
  p = struct ('VariableNames', {names}, 'RowNames', {{}}, 'DimensionNames', {{'Row', 'Variables'}}, ...
              'VariableUnits', {{}}, 'VariableDescriptions', {{}}, 'Description', '', 'UserData', []);
  for k = 1:2:numel (varargin)
    p.(varargin{k}) = varargin{k+1};
  endfor
  t.Properties = p;
endfunction
function t = ttbl (times, names, cols, varargin)
  p = struct ('VariableNames', {names}, 'RowTimes', times, 'DimensionNames', {{'Time', 'Variables'}}, ...
              'VariableUnits', {{}}, 'VariableDescriptions', {{}}, 'Description', '', 'UserData', []);
  for k = 1:2:numel (varargin)
    p.(varargin{k}) = varargin{k+1};
  endfor
  t = struct ();
  t.(p.DimensionNames{1}) = times;
  for k = 1:numel (names)
    t.(names{k}) = cols{k};
  endfor
  t.Properties = p;
endfunction

d2023 = datenum (2023, 1, 1) + (0:2)';
S = struct ('field1', 123, 'field2', 'abc');
obj = struct ('a', 1, 'b', [], 'c', []);
## fixture, expected value, warnings
cases = {
  'time_cdur_array',           cd3([1 0; 2 0], [0 5; 0 10], zeros(2)), {}
  'time_cdur_days',            cd3([0 0 0], [1 2 3], [0 0 0]), {}
  'time_cdur_days_and_months', cd3([1 0], [1 2], [0 0]), {}
  'time_cdur_days_and_qtrs',   cd3(3, 15, 0), {}
  'time_cdur_empty',           cd3([], [], []), {}
  'time_cdur_millis',          cd3(0, 1, 3723 / day), {}
  'time_cdur_months_and_years', cd3([12 18], [0 0], [0 0]), {}
  'time_cdur_weeks',           cd3([0 0], [7 14], [0 0]), {}
  'time_dt_array',             reshape(datenum(2025, 4, 1) + (0:5), 2, 3), {}
  'time_dt_basic',             datenum(2025, 4, 1, 12, 0, 0), {}
  'time_dt_empty',             [], {}
  'time_dt_fmt',               datenum(2025, 4, 1, 12, 0, 0), {}
  'time_dt_tz',                datenum(2025, 4, 1, 12, 0, 0), {}
  'time_dt_vector',            datenum(2025, 4, 1) + (0:5), {}
  'time_dur_array',            [10 20 30; 40 50 60] / day, {}
  'time_dur_days',             5, {}
  'time_dur_empty',            [], {}
  'time_dur_h',                5 / 24, {}
  'time_dur_hms',              3723 / day, {}
  'time_dur_m',                5 / 1440, {}
  'time_dur_s',                5 / day, {}
  'time_dur_years',            [1 2 3] * 365.2425, {}
  'tables_cat_3D',             repmat({'yes', 'no', 'maybe'}, [2 1 2]), {}
  'tables_cat_array',          {'low', 'medium'; 'high', 'low'}, {}
  'tables_cat_empty',          {}, {}
  'tables_cat_from_numeric',   {'low', 'medium', 'high', 'medium', 'low'}, {}
  'tables_cat_missing',        {'cat', '', 'dog', 'mouse'}, {}
  'tables_cat_mixed_case',     {'On', 'off', 'OFF', 'ON', 'on'}, {}
  'tables_cat_ordered',        {'small', 'medium', 'large'}, {}
  'tables_cat_scalar',         {'red', 'green', 'blue', 'red'}, {}
  'tables_cat_string',         {'spring', 'summer', 'autumn', 'winter'}, {}
  'tables_cat_unordered',      {'cold', 'hot', 'warm'}, {}
  'tables_table_empty',        tbl(cell(1, 0), {}), {}
  'tables_table_from_cell',    tbl({'Var1'}, {{1; 'text'; datenum(2023, 1, 1)}}), {}
  'tables_table_multi_col_data', tbl({'Var1', 'multicoldata'}, {d2023, [1 4; 2 5; 3 6]}), {}
  'tables_table_nan',          tbl({'Var1', 'Var2'}, {[1.1; NaN; 3.3], {'A'; ''; 'C'}}), {}
  'tables_table_numeric',      tbl({'Var1', 'Var2'}, {[1.1; 2.2; 3.3], [4.4; 5.5; 6.6]}), {}
  'tables_table_row_names',    tbl({'Col1', 'Col2'}, {[1; 2; 3], [4; 5; 6]}, 'RowNames', {'R1'; 'R2'; 'R3'}), {}
  'tables_table_strings',      tbl({'Var1'}, {{'apple'; 'banana'; 'cherry'}}), {}
  'tables_table_time',         tbl({'Time', 'Duration'}, {datenum(2020, 1, 1) + (0:2)', [30; 60; 90] / day}), {}
  'tables_table_var_names',    tbl({'X', 'Y'}, {[10; 20; 30], [100; 200; 300]}), {}
  'tables_table_with_attrs',   tbl({'ID', 'Label'}, {[1; 2], {'one'; 'two'}}, ...
                                   'DimensionNames', {'RowId', 'Features'}, 'VariableUnits', {'', 'category'}, ...
                                   'VariableDescriptions', {'ID number', 'Category label'}, ...
                                   'Description', 'Test table with full metadata', ...
                                   'UserData', struct('CreatedBy', 'UnitTest', 'Version', 1)), {}
  'tables_table_with_objects', tbl({'C', 'Var2'}, {{S; S; S}, {obj; obj; obj}}), {'bytes2value:objectAsStruct'}
  'tables_timetable_datetime', ttbl(d2023, {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_duration', ttbl([10; 20; 30] / day, {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_empty',    ttbl(zeros(0, 1), cell(1, 0), {}), {}
  'tables_timetable_from_duration', ttbl((0:2)' / day, {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_from_sample_rate', ttbl((0:2)' * 0.1 / (day * 1000), {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_from_starttime_calendarDuration', ttbl(datenum(2020, [1; 4; 7], 1), {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_from_starttime_datetime', ttbl(datenum(2020, 1, 1) + (0:2)' / day, {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_from_starttime_duration', ttbl((10 + (0:2)') / day, {'data1'}, {[1; 2; 3]}), {}
  'tables_timetable_multi_col', ttbl([10; 20; 30] / day, {'data2'}, {[1 4; 2 5; 3 6]}), {}
  'tables_timetable_var_names', ttbl(d2023, {'Pressure'}, {[1; 2; 3]}), {}
  'tables_timetable_with_attrs', ttbl(d2023, {'data1'}, {[1; 2; 3]}, 'DimensionNames', {'Date', 'Pressure'}, ...
                                      'VariableUnits', {'m/s'}, 'VariableDescriptions', {'myVar'}, ...
                                      'Description', 'Random Description'), {}
};
for k = 1:rows (cases)
  [name, want, warns] = cases{k, :};
  y = check_warnings (name, @() bytes2value (read_bytes (fullfile (dir, [name '.bin']))), warns);
  same (name, y, want);
endfor
printf ('time and table fixtures: %d values ok\n', rows (cases));
