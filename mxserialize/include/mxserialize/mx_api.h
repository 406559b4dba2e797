// The part of the mx API that the serializer relies on; define
// MXSERIALIZE_MX_HEADER to a stand-in's header to link without a host.
//
// Types:      mxArray, mxClassID, mxChar, mxLogical, mwSize, mwIndex
// Reading:    mxGetClassID, mxGetClassName, mxGetNumberOfDimensions,
//             mxGetDimensions, mxGetNumberOfElements, mxGetElementSize,
//             mxIsComplex, mxIsSparse, mxGetData, mxGetImagData, mxGetIr,
//             mxGetJc, mxGetN, mxGetCell, mxGetNumberOfFields,
//             mxGetFieldNameByNumber, mxGetFieldByNumber
// Making:     mxGetData (of the output), mxDestroyArray
#ifndef MXSERIALIZE_MX_API_H
#define MXSERIALIZE_MX_API_H

#ifdef MXSERIALIZE_MX_HEADER
#include MXSERIALIZE_MX_HEADER
#else
#include <mex.h>
#endif

#endif
