// The decoder's host calls in a MEX host. An error in the called function is
// trapped, so it comes back as NULL instead of unwinding through the decoder.
#include "mxdeserialize/mxdeserialize.h"

mxArray *mxdeserialize_call(const char *function, int nargs, mxArray *args[])
{
    mxArray *out[1] = {nullptr};
    mxArray *failure = mexCallMATLABWithTrap(1, out, nargs, args, function);
    if (failure) {
        mxDestroyArray(failure);
        if (out[0]) mxDestroyArray(out[0]);
        return nullptr;
    }
    return out[0];
}
