## -*- texinfo -*-
## values = classic_values (): a table of labels and values, one of each kind
## the classic stream format carries (every class, empty and N-d, nesting).
function values = classic_values ()
  s.a = 1; s.b = 'text'; s.c = {1, int16([1 2])};
  arr = struct ('x', {1, 'two'; [3 4], {5}});
  values = {
    'double scalar',      pi
    'double matrix',      magic(4)
    'double N-d',         reshape(1:24, 2, 3, 4)
    'double specials',    [NaN Inf -Inf -0 realmax realmin]
    'complex double',     [1+2i, 3-4i; -5i, 6]
    'complex single',     single([1+2i 3])
    'single',             single([1.5 -2.25; 3e30 -1e-30])
    'int8',               int8([-128 0 127])
    'uint8',              uint8([0 1 255])
    'int16',              int16([-32768 32767])
    'uint16',             uint16([0 65535])
    'int32',              int32([intmin('int32') 0 intmax('int32')])
    'uint32',             uint32([0 intmax('uint32')])
    'int64',              int64([intmin('int64') -1 intmax('int64')])
    'uint64',             uint64([0 1 intmax('uint64')])
    'int16 N-d',          int16(reshape(1:12, 2, 1, 2, 3))
    'empty double',       []
    'empty 0x3',          zeros(0, 3)
    'empty 3x0x2 int8',   zeros(3, 0, 2, 'int8')
    'logical',            [true false; false true]
    'logical N-d',        rand(2, 2, 2) > 0.5
    'char',               'hello world'
    'char short',         'ab'
    'char rows short',    ['ab'; 'cd']
    'char rows',          ['abc'; 'def']
    'char empty',         ''
    'char non-ASCII',     'grüße, ½ € ✓'
    'char CJK',           '日本語'
    'sparse',             sparse([0 7; 8 0; 0 0])
    'sparse empty',       sparse(3, 4)
    'sparse complex',     sparse([1i 0; 0 2])
    'sparse logical',     sparse([true false; false true])
    'sparse wide',        sparse([1 5 9], [2 2 1000], [1 2 3], 10, 1000)
    'cell',               {1, 'two'; int8(3), {4}}
    'cell empty',         {}
    'cell N-d',           reshape({1, 2, 3, 4, 5, 6, 7, 8}, 2, 2, 2)
    'struct',             s
    'struct array',       arr
    'struct N-d',         reshape(struct('a', num2cell(1:12)), 2, 3, 2)
    'struct no fields',   struct()
    'struct array no fields', repmat(struct(), 2, 3)
    'struct empty',       struct('a', {})
    'nested',             {s, {arr, {sparse(2, 2), 'deep', {{{uint8(7)}}}}}}
  };
endfunction
