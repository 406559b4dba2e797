## -*- texinfo -*-
## s = mcos_stream (value, sub): a stream of the miMATRIX value followed by a
## subsystem made from the struct sub:
##   names    cellstr, 1-based name indices refer to it
##   classes  C x 2: namespace and class name index of class ids 1..C
##   objects  N x 4: class id, type-1 block, type-2 block, second id
##   type1, type2  cells of k x 3 records (name, type, value); block j is cell j
##   dynamic  cell of id rows, block 0 first ({}: an empty region)
##   values   cell of miMATRIX elements, value index 0 first
##   defaults cell of C miMATRIX elements (class 1 first)
##   version  2, 3 or 4
function s = mcos_stream (value, sub)
  s = mi_stream ([value mcos_subsystem(sub)]);
endfunction

function e = mcos_subsystem (sub)
  C = rows (sub.classes);
  empty_struct = mi_matrix (2, 0, [1 0], mi_element(5, int32(1)), mi_element(1, int8([])));
  meta = metadata (sub);
  per_class = @(cells) mi_matrix (1, 0, [C+1 1], cells{:});
  trailing = {per_class([{empty_struct} sub.defaults])};
  if (sub.version >= 3)
    trailing = [{mi_matrix(12, 0, [C+1 1], mi_element(5, int32(zeros(1, C+1))))} trailing];
  endif
  if (sub.version >= 4)
    trailing = [{per_class(repmat({empty_struct}, 1, C+1))} trailing];
  endif
  cells = [{mi_matrix(9, 0, [numel(meta) 1], mi_element(2, meta)), uint8([14 0 0 0 0 0 0 0])}, ...
           sub.values, trailing];
  fw = mi_opaque ('MCOS', 'FileWrapper__', mi_matrix (1, 0, [numel(cells) 1], cells{:}));
  top = mi_matrix (2, 0, [1 1], mi_element(5, int32(5)), mi_element(1, [int8('MCOS') 0]), fw);
  inner = [uint8([0 1 73 77 0 0 0 0]) top];
  e = mi_matrix (9, 0, [1 numel(inner)], mi_element(2, inner));
endfunction

function b = pad8 (b)
  b(end+1:8*ceil(numel(b)/8)) = 0;
endfunction

function b = blocks (list)
  b = cell (1, numel (list) + 1);
  b{1} = pad8 (typecast (uint32(0), 'uint8'));   # block 0
  for j = 1:numel (list)
    r = list{j};
    b{j + 1} = pad8 (typecast (uint32 ([size(r, 1) reshape(r', 1, [])]), 'uint8'));
  endfor
  b = [b{:}];
endfunction

function m = metadata (sub)
  names = pad8 (uint8 ([strjoin(sub.names, char(0)) char(0)]));
  r1 = typecast (uint32 ([0 0 0 0 reshape([sub.classes zeros(rows(sub.classes), 2)]', 1, [])]), 'uint8');
  r2 = [];
  if (! isempty (sub.type1))
    r2 = blocks (sub.type1);
  endif
  o = sub.objects;
  r3 = typecast (uint32 ([zeros(1, 6) reshape([o(:,1) zeros(rows(o), 2) o(:,2:4)]', 1, [])]), 'uint8');
  r4 = blocks (sub.type2);
  r5 = [];
  for j = 1:numel (sub.dynamic)
    r5 = [r5 pad8(typecast(uint32([numel(sub.dynamic{j}) sub.dynamic{j}]), 'uint8'))];
  endfor
  r7 = zeros (1, 8, 'uint8');
  regions = {names, r1, r2, r3, r4, r5, [], r7};
  offs = 40 + cumsum (cellfun (@numel, regions));
  m = [typecast(uint32([sub.version numel(sub.names) offs]), 'uint8') regions{:}];
endfunction
