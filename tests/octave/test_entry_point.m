## Calls that never reach the decoder, and inputs that are not byte vectors.
one = stream_of (42, '-v6');

## No input, or no output asked for: nothing happens, nothing is raised.
bytes2value ();
bytes2value (one);
bytes2value (uint8 ([1 2 3]));            # garbage, but never decoded

## A second input is ignored.
assert (bytes2value (one, 'ignored', {}), 42);

## An int8 view of the same bytes is the same stream.
assert (bytes2value (typecast (one, 'int8')), 42);

## The empty uint8 vector reaches the decoder, which refuses it.
msg = expect_error ('bytes2value:badStream', @bytes2value, uint8 ([]));
assert (! isempty (strfind (msg, 'at byte 0')));

## Char and logical are one byte an element here: they reach the decoder.
assert (bytes2value (char (one)), 42);
expect_error ('bytes2value:badStream', @bytes2value, true (1, 16));

## Elements wider than a byte (fread's default gives doubles): the message
## names the class and says how to read bytes.
for cls = {'double', 'single', 'int16', 'uint32', 'int64'}
  msg = expect_error ('bytes2value:badInput', @bytes2value, cast (one, cls{1}));
  assert (! isempty (strfind (msg, cls{1})) && ! isempty (strfind (msg, "'uint8=>uint8'")), msg);
endfor

## Inputs whose element count is not a byte count of real data.
expect_error ('bytes2value:badInput', @bytes2value, {one});
expect_error ('bytes2value:badInput', @bytes2value, struct ('b', one));
expect_error ('bytes2value:badInput', @bytes2value, sparse (double (one)));
expect_error ('bytes2value:badInput', @bytes2value, @sin);
printf ('entry point: ok\n');
