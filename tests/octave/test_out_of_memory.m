## Running out of memory while decoding, in the host's allocator or in the
## decoder's own, raises bytes2value:outOfMemory, and the session goes on.
## Each stream is decoded in a child Octave under a virtual-memory limit
## (ulimit -v) of what it needs to read the stream plus 150 MB, short of
## what decoding it needs.
1;
function kb = vm_size_kb ()
  s = fileread ('/proc/self/status');
  kb = str2double (regexp (s, 'VmSize:\s*(\d+)', 'tokens'){1}{1});
endfunction

## A zlib stream of stored (uncompressed) blocks holding data.
function z = zlib_stored (data)
  z = uint8 ([120 1]);
  for off = 0:65535:numel (data) - 1
    chunk = data(off + 1:min (off + 65535, end));
    z = [z uint8(off + 65535 >= numel (data)) typecast(uint16 ([numel(chunk) 65535 - numel(chunk)]), 'uint8') chunk];
  endfor
endfunction

octave = fullfile (OCTAVE_HOME (), 'bin', 'octave-cli');
mexdir = fileparts (which ('bytes2value'));
base = vm_size_kb ();

n = 60e6;
cases = {
  ## 60 MB of uint8 storage for a double matrix: the host's 480 MB fails.
  'host allocation', mi_stream(mi_matrix(6, 0, [n 1], mi_element(2, zeros(1, n, 'uint8'))))
  ## 300 KB of compressed data whose inner tag claims 300 MB (all that so
  ## much data can inflate to): the decoder's own buffer fails.
  'decoder allocation', mi_stream(mi_element(15, zlib_stored([typecast(uint32([14 300e6 - 8]), 'uint8') zeros(1, 300e3, 'uint8')])))
};
file = [tempname() '.bin'];
unwind_protect
  for k = 1:rows (cases)
    [label, s] = cases{k, :};
    fid = fopen (file, 'w'); fwrite (fid, s); fclose (fid);
    code = sprintf (['addpath (''%s''); fid = fopen (''%s''); s = fread (fid, Inf, ''uint8=>uint8'')''; fclose (fid); ' ...
                     'try, x = bytes2value (s); printf (''no error\\n''); ' ...
                     'catch e, printf (''%%s\\n'', e.identifier); end; clear s x; ' ...
                     'printf (''%%d\\n'', bytes2value (uint8 ([0 1 73 77 0 0 0 0 14 0 0 0 48 0 0 0 6 0 0 0 8 0 0 0 ' ...
                     '6 0 0 0 0 0 0 0 5 0 0 0 8 0 0 0 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0 0 2 0 1 0 42 0 0 0])));'], ...
                    mexdir, file);
    limit = base + 3 * numel (s) / 1024 + 150 * 1024;
    [status, out] = system (sprintf ('ulimit -v %d && exec "%s" --no-init-file --no-history --quiet --eval "%s" 2>&1', ...
                                     round (limit), octave, code));
    lines = strsplit (strtrim (out), "\n");
    if (status != 0 || numel (lines) < 2 || ! strcmp (lines{end-1}, 'bytes2value:outOfMemory') ...
        || ! strcmp (lines{end}, '42'))
      error ('%s: expected bytes2value:outOfMemory, then 42; the child (status %d) printed:\n%s', label, status, out);
    endif
  endfor
unwind_protect_cleanup
  if (exist (file, 'file'))
    delete (file);
  endif
end_unwind_protect
printf ('out of memory: ok\n');
