// bytes2value(bytes): the value that a serialized byte stream encodes.
#include "mxdeserialize/mxdeserialize.h"

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nlhs == 0 || nrhs == 0) return;
    const mxArray *in = prhs[0];
    // The element count is taken as the byte count, which is only true of
    // dense arrays of one-byte elements: a sparse array's data is its
    // non-zeros alone, containers have no data, and a stream read as
    // doubles (fread's default) holds eight bytes per stream byte.
    if (mxIsSparse(in) || !(mxIsNumeric(in) || mxIsChar(in) || mxIsLogical(in)))
        mexErrMsgIdAndTxt("bytes2value:badInput", "the input must be a uint8 vector of stream bytes, not a %s%s",
                          mxIsSparse(in) ? "sparse " : "", mxGetClassName(in));
    if (mxGetElementSize(in) != 1)
        mexErrMsgIdAndTxt("bytes2value:badInput",
                          "the input holds %s values, not bytes: read the stream as uint8, "
                          "as fread(fid, Inf, 'uint8=>uint8') does",
                          mxGetClassName(in));
    plhs[0] = mxDeserialize(mxGetData(in), mxGetNumberOfElements(in));
}
