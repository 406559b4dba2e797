function value = bytes2value(bytes)
%BYTES2VALUE  The value that a serialized byte stream encodes.
%   VALUE = BYTES2VALUE(BYTES) takes the bytes that MATLAB's serializer wrote
%   (getByteStreamFromArray): a uint8 or int8 vector (in Octave also char or
%   logical, which hold one byte an element). It returns the value they
%   encode, built anew.
%
%   Supported:
%     - every numeric class, real and complex (complex only for double and
%       single), at any size, including empty and N-d; logical;
%     - char in every encoding the format allows (non-ASCII text becomes
%       UTF-8);
%     - sparse double, complex and logical;
%     - cell and struct arrays of any shape, with or without fields;
%     - old-style objects, which come back as a struct of their fields with
%       the warning bytes2value:objectAsStruct;
%     - compressed streams and big-endian streams;
%     - in Octave, MATLAB's new-style values as the closest Octave value:
%       string -> char row (1x1) or cellstr; containers.Map and dictionary
%       -> containers.Map (a dictionary with mixed or non-scalar keys -> a
%       struct); function handles -> function handles (anonymous ones with
%       their captured variables); enumeration members -> their names;
%       datetime -> datenums of the clock time shown (NaT -> NaN);
%       duration -> days; calendarDuration -> struct of months, days and
%       time (days); categorical -> cellstr of category names ('' for
%       undefined); table and timetable -> struct of the variables, then
%       Properties (a timetable's row times first);
%       any other classdef object -> a struct of its properties.
%       Warnings: bytes2value:objectAsStruct (a class not rebuilt),
%       bytes2value:unknownTimeZone (a datetime zone this system's zone
%       data lacks: taken as UTC),
%       bytes2value:approximateHandle (a nested or scoped handle, made
%       from its name), bytes2value:cycle (an object that refers back to
%       itself: [] where the loop closes).
%
%   Errors:
%     bytes2value:badStream         the stream is malformed; the message
%                                   gives the byte offset of the fault.
%     bytes2value:unsupportedClass  a Java or COM object, or a complex
%                                   integer array.
%     bytes2value:badInput          BYTES is not a vector of bytes: sparse,
%                                   cell or struct, or elements wider than a
%                                   byte (read files with
%                                   fread(fid, Inf, 'uint8=>uint8')).
%     bytes2value:outOfMemory       memory ran out while decoding.
%
%   Example (in Octave, a MAT file's variable turned into a byte stream):
%     x = {magic(3), 'text', struct('a', {1, 2})};
%     save('-v6', 'x.mat', 'x');
%     fid = fopen('x.mat'); b = fread(fid, Inf, 'uint8=>uint8')'; fclose(fid);
%     y = bytes2value([b(125:128) zeros(1, 4, 'uint8') b(129:end)]);
%     isequal(x, y)   % true
%   In MATLAB: y = bytes2value(getByteStreamFromArray(x)).

% This file holds the help text. The compiled MEX file of the same name does
% the work; it comes before this file on the path whenever it is built.
error('bytes2value:notBuilt', ...
      'bytes2value: the compiled MEX file is missing; build or install the package');
end
