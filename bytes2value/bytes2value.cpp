// bytes2value(bytes): the value that a serialized byte stream encodes.
#include "mxdeserialize/mxdeserialize.h"

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nlhs == 0 || nrhs == 0) return;
    const mxArray *in = prhs[0];
    // The element count is taken as the byte count, which over-reads nothing
    // only where the data holds at least one byte per element: a sparse
    // array's data is its non-zeros alone, and containers have no data.
    if (mxIsSparse(in) || !(mxIsNumeric(in) || mxIsChar(in) || mxIsLogical(in)))
        mexErrMsgIdAndTxt("bytes2value:badInput", "the input must be a uint8 vector of stream bytes");
    plhs[0] = mxDeserialize(mxGetData(in), mxGetNumberOfElements(in));
}
