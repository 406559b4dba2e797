// The part of the mx API that the decoder relies on. Keeping it this small lets
// the decoding core link against an in-process stand-in instead of a real
// host; define MXDESERIALIZE_MX_HEADER to the stand-in's header to do so.
//
// Types:      mxArray, mxClassID (the numeric class ids, mxCHAR_CLASS),
//             mxComplexity, mxChar, mxLogical, mwSize, mwIndex
// Creation:   mxCreateUninitNumericArray, mxCreateLogicalArray,
//             mxCreateCharArray, mxCreateCellArray, mxCreateStructArray,
//             mxCreateSparse, mxCreateSparseLogicalMatrix
// Filling:    mxGetData, mxGetImagData, mxGetIr, mxGetJc, mxSetCell,
//             mxSetFieldByNumber
// Releasing:  mxDestroyArray
#ifndef MXDESERIALIZE_MX_API_H
#define MXDESERIALIZE_MX_API_H

#ifdef MXDESERIALIZE_MX_HEADER
#include MXDESERIALIZE_MX_HEADER
#else
#include <mex.h>
#endif

#endif
