## -*- texinfo -*-
## msg = expect_error (id, f, args...): calls y = f(args...) and fails unless
## it raises an error with identifier id; answers the error message.
function msg = expect_error (id, f, varargin)
  try
    y = f (varargin{:});
  catch err
    if (! strcmp (err.identifier, id))
      error ('expected error %s, got %s: %s', id, err.identifier, err.message);
    endif
    msg = err.message;
    return;
  end_try_catch
  error ('expected error %s, but a %s value came back', id, class (y));
endfunction
