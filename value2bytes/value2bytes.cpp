// value2bytes(x): the byte stream MATLAB's serializer writes for x.
#include "mxserialize/mxserialize.h"

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    (void)nlhs;  // with none asked for, the answer becomes ans
    if (nrhs != 1) mexErrMsgIdAndTxt("value2bytes:badInput", "takes exactly one value, got %d", nrhs);
    plhs[0] = mxSerialize(prhs[0]);
}
