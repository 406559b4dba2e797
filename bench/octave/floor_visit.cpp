// floor_visit(x): visits every array of x through the mx calls value2bytes
// makes to read it (class, dimensions, cell elements, field names and
// values, data pointers), writing nothing; answers the number of arrays.
// The floor for value2bytes on a cell of small structs: what Octave costs
// to hand a nested value to a MEX file.
#include <mex.h>

namespace {

double visit(const mxArray *a)
{
    double n = 1;
    const mxClassID id = mxGetClassID(a);
    const size_t numel = mxGetNumberOfElements(a);
    n += mxGetDimensions(a)[0] == 0 && mxGetNumberOfDimensions(a) == 0;
    if (id == mxCELL_CLASS) {
        for (size_t i = 0; i < numel; ++i) n += visit(mxGetCell(a, i));
    } else if (id == mxSTRUCT_CLASS) {
        const int nf = mxGetNumberOfFields(a);
        for (int f = 0; f < nf; ++f) n += mxGetFieldNameByNumber(a, f)[0] == 0;
        for (size_t i = 0; i < numel; ++i)
            for (int f = 0; f < nf; ++f) n += visit(mxGetFieldByNumber(a, i, f));
    } else if (id == mxDOUBLE_CLASS && numel == 1 && !mxIsComplex(a)) {
        n += mxGetScalar(a) != mxGetScalar(a);
    } else {
        n += mxGetData(a) == nullptr;
    }
    return n;
}

}  // namespace

void mexFunction(int, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs != 1) mexErrMsgTxt("usage: floor_visit(x)");
    plhs[0] = mxCreateDoubleScalar(visit(prhs[0]));
}
