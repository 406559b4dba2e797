// floor_structs(n): the 1-by-n cell whose element k is
// struct('id', k, 'name', 'abc', 'v', [1 2 3]), built through the mx calls
// the decoder makes for that value (cell, struct, uninitialised numeric
// and char arrays, mxSetFieldByNumber, mxSetCell), with nothing decoded.
// The floor for bytes2value on a cell of small structs.
#include <mex.h>

#include <cstring>

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[])
{
    if (nrhs != 1) mexErrMsgTxt("usage: floor_structs(n)");
    mwSize n = mwSize(mxGetScalar(prhs[0]));
    static const char *fields[] = {"id", "name", "v"};
    mwSize row[2] = {1, n}, one[2] = {1, 1}, three[2] = {1, 3};
    mxArray *c = mxCreateCellArray(2, row);
    for (mwSize k = 0; k < n; k++) {
        mxArray *s = mxCreateStructArray(2, one, 3, fields);
        mxArray *id = mxCreateUninitNumericArray(2, one, mxDOUBLE_CLASS, mxREAL);
        *static_cast<double *>(mxGetData(id)) = double(k + 1);
        mxArray *name = mxCreateCharArray(2, three);
        mxChar *p = static_cast<mxChar *>(mxGetData(name));
        p[0] = 'a';
        p[1] = 'b';
        p[2] = 'c';
        mxArray *v = mxCreateUninitNumericArray(2, three, mxDOUBLE_CLASS, mxREAL);
        const double v3[3] = {1, 2, 3};
        std::memcpy(mxGetData(v), v3, sizeof v3);
        mxSetFieldByNumber(s, 0, 0, id);
        mxSetFieldByNumber(s, 0, 1, name);
        mxSetFieldByNumber(s, 0, 2, v);
        mxSetCell(c, k, s);
    }
    if (nlhs > 0) plhs[0] = c;
}
