## -*- texinfo -*-
## m = mi_ref (dims, ids, cls): a reference to objects: the uint32 column
## 0xDD000000, numel (dims), dims, ids, cls.
function m = mi_ref (dims, ids, cls)
  w = uint32([3707764736 numel(dims) dims ids cls]);
  m = mi_matrix (13, 0, [numel(w) 1], mi_element(6, w));
endfunction
