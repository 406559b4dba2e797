## -*- texinfo -*-
## @deftypefn {} {@var{h} =} __bytes2value_anonymous__ (@var{text}, @var{captured})
## Internal to bytes2value: the anonymous function @var{text}, made in a
## scope that holds the fields of the struct @var{captured} as variables, so
## that it captures them as MATLAB did.
## @end deftypefn
function h = __bytes2value_anonymous__ (varargin)
  ## Only the captured names are defined when the handle is made; the
  ## arguments live in varargin, which the text cannot refer to unless it
  ## was captured too.
  __names__ = fieldnames (varargin{2});
  for __k__ = 1:numel (__names__)
    if (! isvarname (__names__{__k__}))
      error ("bytes2value: '%s' is not a variable name", __names__{__k__});
    endif
    eval ([__names__{__k__} " = varargin{2}.(__names__{__k__});"]);
  endfor
  __text__ = varargin{1};
  clear __k__ __names__;
  h = str2func (__text__);
endfunction
