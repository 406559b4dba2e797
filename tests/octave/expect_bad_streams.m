## -*- texinfo -*-
## msgs = expect_bad_streams (bad): for each row {label, stream} of bad, fails
## unless bytes2value refuses the stream as malformed with a byte offset in
## its message; answers the messages.
function msgs = expect_bad_streams (bad)
  msgs = cell (rows (bad), 1);
  for k = 1:rows (bad)
    try
      msgs{k} = expect_error ('bytes2value:badStream', @bytes2value, bad{k, 2});
    catch err
      error ('%s: %s', bad{k, 1}, err.message);
    end_try_catch
    if (isempty (regexp (msgs{k}, 'at byte \d+', 'once')))
      error ('%s: no offset in: %s', bad{k, 1}, msgs{k});
    endif
  endfor
endfunction
