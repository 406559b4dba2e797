## -*- texinfo -*-
## check_roundtrip (label, expected, got): fails unless got equals expected
## in value, class, sparsity and size.
function check_roundtrip (label, expected, got)
  if (! strcmp (class (got), class (expected)))
    error ('%s: class %s, expected %s', label, class (got), class (expected));
  endif
  if (issparse (got) != issparse (expected))
    error ('%s: sparsity differs', label);
  endif
  if (! isequaln (got, expected) || ! isequal (size (got), size (expected)))
    error ('%s: value differs', label);
  endif
endfunction
