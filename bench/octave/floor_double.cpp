// floor_double(bytes, offset, m, n): the m-by-n double array whose data are
// the bytes from offset (1-based) on, built through the mx calls the
// decoder uses for it (an uninitialised array and one copy), with nothing
// decoded.  The floor for bytes2value on a large double matrix.
#include <mex.h>

#include <cstring>

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs != 4 || !mxIsUint8(prhs[0])) mexErrMsgTxt("usage: floor_double(uint8 bytes, offset, m, n)");
    size_t off = size_t(mxGetScalar(prhs[1])) - 1, m = size_t(mxGetScalar(prhs[2])), n = size_t(mxGetScalar(prhs[3]));
    size_t have = mxGetNumberOfElements(prhs[0]);
    if (off > have || (have - off) / 8 / (n ? n : 1) < m) mexErrMsgTxt("floor_double: too few bytes");
    mwSize dims[2] = {mwSize(m), mwSize(n)};
    mxArray *a = mxCreateUninitNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL);
    std::memcpy(mxGetData(a), static_cast<const char *>(mxGetData(prhs[0])) + off, m * n * 8);
    if (nlhs > 0) plhs[0] = a;
}
