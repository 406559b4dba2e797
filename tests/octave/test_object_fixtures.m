## MATLAB's new-style values (strings, maps, dictionaries, function handles,
## enumerations, classdef objects), read in place from the shared fixtures:
## each decodes to the Octave value the contract gives, with its warnings.
dir = fixture_dir ('bytestream-objects', 'object streams');
if (isempty (dir))
  return;
endif
function ok = same_handle (h, text, captured)
  f = functions (h);
  ok = is_function_handle (h) && strcmp (func2str (h), func2str (str2func (text)));
  if (nargin > 2)
    ok = ok && isequal (f.workspace{1}, captured);
  endif
endfunction

S = 'bytes2value:objectAsStruct';
H = 'bytes2value:approximateHandle';
none = struct ();
basic = @(a, b, c) struct ('a', {a}, 'b', {b}, 'c', {c});
## fixture, expected value (or a check of it), warnings
cases = {
  'string_string_scalar',  'Hello', {}
  'string_string_array',   {'Apple', 'Banana', 'Cherry'; 'Date', 'Fig', 'Grapes'}, {}
  'string_string_empty',   '', {}
  'maps_map_char_keys',    @(m) check_map('', m, 'char', 'double', {'a', 'b'}, {1, 2}), {}
  'maps_map_empty',        @(m) check_map('', m, 'char', 'any', {}, {}), {}
  'maps_map_numeric_keys', @(m) check_map('', m, 'double', 'char', {1, 2}, {'a', 'b'}), {}
  'maps_map_string_keys',  @(m) check_map('', m, 'char', 'double', {'a', 'b'}, {1, 2}), {}
  'maps_dict_cell_keys',   @(m) check_map('', m, 'double', 'char', {1, 2, 3}, {'one', 'two', 'three'}), {}
  'maps_dict_cell_vals',   @(m) check_map('', m, 'char', 'any', {'name', 'age'}, {'Alice', 25}), {}
  'maps_dict_empty',       @(m) check_map('', m, 'char', 'any', {}, {}), {}
  'maps_dict_numeric_keys', @(m) check_map('', m, 'double', 'char', {1, 2, 3}, {'apple', 'banana', 'cherry'}), {}
  'maps_dict_string_keys', @(m) check_map('', m, 'char', 'double', {'x', 'y', 'z'}, {10, 20, 30}), {}
  'maps_dict_val_scalar',  @(m) check_map('', m, 'double', 'char', {1, 2, 3}, {'a', 'a', 'a'}), {}
  'function_handles_builtin_fh',   @(h) same_handle(h, 'sin'), {}
  'function_handles_custom_fh',    @(h) same_handle(h, 'myfunc'), {}
  'function_handles_anonymous_fh', @(h) same_handle(h, '@(x)x.^2+1', none), {}
  'function_handles_class_fh',     @(h) same_handle(h, '@(varargin)obj.square(varargin{:})', struct('obj', none)), {S}
  'function_handles_nested_fh',    @(h) same_handle(h, 'inner'), {H}
  'enum_enum_scalar',      'enum1', {S}
  'enum_enum_uint32',      'enum1', {S}
  'enum_enum_array',       {'enum1', 'enum3', 'enum5'; 'enum2', 'enum4', 'enum6'}, {S}
  'enum_enum_nested',      basic('enum1', {'enum2'}, struct('InnerProp', 'enum3')), {S, S}
  'user_defined_obj_no_vals',          basic([], [], []), {S}
  'user_defined_obj_with_vals',        basic(10, [], []), {S}
  'user_defined_obj_with_default_val', struct('a', 'Default String', 'b', 10), {S}
  'user_defined_obj_handle_1',         struct('a', 20), {S}
  'user_defined_obj_handle_2',         struct('a', 20), {S}
  'user_defined_obj_array',  reshape([basic(1, [], []), basic(3, [], []), basic(2, [], []), basic(4, [], [])], 2, 2), {S}
  'user_defined_obj_with_nested_props', basic(basic(1, 'Obj1', []), {basic(1, 'Obj1', [])}, ...
                                               struct('InnerProp', basic(2, 'Obj2', []))), {S}
  'dynamic_obj',           struct('Name', 'Example', 'DynamicData', 42), {S}
};
for k = 1:rows (cases)
  [name, want, warns] = cases{k, :};
  b = read_bytes (fullfile (dir, [name '.bin']));
  y = check_warnings (name, @() bytes2value (b), warns);
  if (is_function_handle (want))
    if (! want (y))
      error ('%s: unexpected value', name);
    endif
  elseif (! isequal (y, want) || ! strcmp (class (y), class (want)) || ! isequal (size (y), size (want)))
    error ('%s: got %s', name, disp (y));
  endif
endfor
printf ('object fixtures: %d values ok\n', rows (cases));

## Java and COM values cannot be rebuilt.
for name = {'type_systems_javatype', 'type_systems_handletype'}
  msg = expect_error ('bytes2value:unsupportedClass', @bytes2value, read_bytes (fullfile (dir, [name{1} '.bin'])));
  if (isempty (strfind (msg, 'java.lang.String')) && isempty (strfind (msg, 'COM.Excel_Application')))
    error ('%s: the message does not name the class: %s', name{1}, msg);
  endif
endfor
printf ('object fixtures: 2 refusals ok\n');
