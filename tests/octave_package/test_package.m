## test_package (tarball, scratch, serializer): pkg install, load, help, use
## and uninstall of the package, with every package list and prefix in
## scratch; with serializer, value2bytes must be in the package too.
function test_package (tarball, scratch, serializer)
  pkg ('prefix', fullfile (scratch, 'share'), fullfile (scratch, 'lib'));
  pkg ('local_list', fullfile (scratch, 'local_list'));
  pkg ('global_list', fullfile (scratch, 'global_list'));

  pkg ('install', '-local', tarball);
  l = pkg ('list');
  assert (numel (l), 1);
  assert (l{1}.name, 'bytes2value');
  pkg load bytes2value

  # The installed MEX file answers, not some other one on the path.
  w = which ('bytes2value');
  assert (strncmp (w, scratch, numel (scratch)), ['bytes2value found at ' w]);
  assert (exist ('bytes2value'), 3);

  x = {magic(3), 'héllo', struct('a', {1, 2}), int16([1 -2; 3 4]), sparse([0 2; 3 0])};
  assert (isequal (bytes2value (stream_of (x, '-v6')), x));
  assert (isequal (bytes2value (stream_of (x, '-v7')), x));
  id = '';
  try
    y = bytes2value (uint8 ([1 2 3]));
  catch e
    id = e.identifier;
  end_try_catch
  assert (id, 'bytes2value:badStream');

  # A value whose decoding calls one of the package's .m helpers.
  f = fullfile (getenv ('SHARED_FIXTURES'), 'bytestream-objects', 'maps_map_char_keys.bin');
  if (isempty (getenv ('SHARED_FIXTURES')) || ! exist (f, 'file'))
    printf ('shared fixtures absent: the containers.Map case is skipped\n');
  else
    fid = fopen (f, 'r');
    b = fread (fid, Inf, 'uint8=>uint8')';
    fclose (fid);
    m = bytes2value (b);
    assert (isa (m, 'containers.Map'));
    assert (m.keys (), {'a', 'b'});
    assert (m.values (), {1, 2});
  endif

  h = evalc ('help bytes2value');
  for needle = {'VALUE = BYTES2VALUE(BYTES)', 'Supported:', 'bytes2value:badStream', ...
                'bytes2value:unsupportedClass', 'bytes2value:badInput', 'Example'}
    assert (! isempty (strfind (h, needle{1})), ['help lacks: ' needle{1}]);
  endfor

  if (serializer)
    assert (exist ('value2bytes'), 3);
    assert (isequal (bytes2value (value2bytes (x)), x));
    assert (! isempty (strfind (evalc ('help value2bytes'), 'VALUE2BYTES')));
  endif

  pkg ('uninstall', '-local', 'bytes2value');
  assert (isempty (pkg ('list')));
  assert (exist ('bytes2value'), 0);
  assert (exist ('value2bytes'), 0);
  assert (isempty (glob (fullfile (scratch, '*', 'bytes2value*'))));
endfunction
