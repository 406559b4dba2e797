// Rebuilds an mxArray from the bytes of MATLAB's serialized value stream.
#ifndef MXDESERIALIZE_MXDESERIALIZE_H
#define MXDESERIALIZE_MXDESERIALIZE_H

#include <cstddef>

#include "mxdeserialize/mx_api.h"

// Answers a new array owned by the caller. A stream that can't be decoded
// goes to mxdeserialize_report(true, ...) after everything built so far has
// been destroyed; if that hook returns, the answer is NULL. C linkage: under
// MATLAB the plug-in takes this function from libmx, which exports it so.
extern "C" mxArray *mxDeserialize(const void *bytes, size_t count);

// The one way the decoder speaks to its host. `fatal` is false for warnings
// (the value is still returned). The MEX build raises fatal reports with
// mexErrMsgIdAndTxt, which does not return; a test harness may return.
void mxdeserialize_report(bool fatal, const char *id, const char *message);

// Calls `function` of the host with `nargs` arguments, which stay the
// caller's, for what the mx API cannot make (containers.Map, function
// handles). Answers the call's one result, a new array, or NULL when the call
// failed; it must not raise an error of its own.
mxArray *mxdeserialize_call(const char *function, int nargs, mxArray *args[]);

#endif
