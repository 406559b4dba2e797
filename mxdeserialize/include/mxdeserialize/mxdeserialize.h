// Rebuilds an mxArray from the bytes of MATLAB's serialized value stream.
#ifndef MXDESERIALIZE_MXDESERIALIZE_H
#define MXDESERIALIZE_MXDESERIALIZE_H

#include <cstddef>

#include "mxdeserialize/mx_api.h"

// Answers a new array owned by the caller. A stream that can't be decoded
// goes to mxdeserialize_report(true, ...) after everything built so far has
// been destroyed; if that hook returns, the answer is NULL.
mxArray *mxDeserialize(const void *bytes, size_t count);

// The one way the decoder speaks to its host. `fatal` is false for warnings
// (the value is still returned). The MEX build raises fatal reports with
// mexErrMsgIdAndTxt, which does not return; a test harness may return.
void mxdeserialize_report(bool fatal, const char *id, const char *message);

#endif
