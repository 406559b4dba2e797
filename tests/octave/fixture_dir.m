## -*- texinfo -*-
## d = fixture_dir (sub, what): the shared fixtures' folder sub; '' when it is
## absent, after saying that the tests of what are skipped.
function d = fixture_dir (sub, what)
  d = fullfile (getenv ('SHARED_FIXTURES'), sub);
  if (isempty (getenv ('SHARED_FIXTURES')) || ! exist (d, 'dir'))
    printf ('SKIP: %s: fixture folder %s is absent\n', what, d);
    d = '';
  endif
endfunction
