% VALUE2BYTES  The byte stream MATLAB's serializer writes for a value.
%
%   B = value2bytes(X) returns a 1xN uint8 row holding the stream that
%   MATLAB's getByteStreamFromArray writes for X, byte for byte. MATLAB
%   reads it back with getArrayFromByteStream, and bytes2value does the
%   same in Octave: bytes2value(value2bytes(X)) is equal to X.
%
%   X may be any numeric array, real or complex; a logical or char array;
%   a sparse double, complex or logical matrix; a cell or struct array of
%   any shape, with or without fields; empty and N-d arrays; any nesting
%   of these; and old-style class objects (@class folders), which carry
%   their class name and fields.
%
%   Char arrays whose text goes beyond ASCII are taken as UTF-8 and
%   written as MATLAB's 16-bit chars; the array is as wide as its longest
%   row in those chars, and shorter rows are padded with spaces.
%
%   Errors:
%     value2bytes:unsupportedClass  function handles, classdef objects
%                                   (containers.Map among them) and other
%                                   values the format can only carry with
%                                   MATLAB's object system; the message
%                                   names the class and where it is in X
%     value2bytes:tooLarge          a dimension over 2147483647, or a part
%                                   of the stream over 4294967295 bytes
%     value2bytes:tooDeep           values nested over 1000 levels deep
%   Nothing is returned when an error is raised.
%
%   Example:
%     b = value2bytes({magic(3), 'text', struct('a', {1, 2})});
%     y = bytes2value(b);
%
%   See also bytes2value.

% This file holds only the help text: the function is value2bytes.mex.
error('value2bytes:notBuilt', 'value2bytes.mex is missing beside value2bytes.m');
