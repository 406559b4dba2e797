## -*- texinfo -*-
## y = check_warnings (name, f, ids): calls y = f() and fails unless it warns
## exactly once for each entry of the cellstr ids (an id may repeat, once per
## class it names) and not otherwise.
function y = check_warnings (name, f, ids)
  bt = warning ('query', 'backtrace');
  warning ('off', 'backtrace');
  unwind_protect
    out = evalc ('y = f ();');
  unwind_protect_cleanup
    warning (bt.state, 'backtrace');
  end_unwind_protect
  got = numel (strfind (out, 'warning: '));
  if (got != numel (ids))
    error ('%s: %d warnings, expected %d (%s):\n%s', name, got, numel (ids), strjoin (ids, ', '), out);
  endif
  for id = unique (ids)
    old = warning ('query', id{1});
    warning ('error', id{1});
    unwind_protect
      expect_error (id{1}, f);
    unwind_protect_cleanup
      warning (old.state, id{1});
    end_unwind_protect
  endfor
endfunction
