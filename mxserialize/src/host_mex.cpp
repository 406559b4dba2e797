// The serializer's hooks for a MEX host: errors through the host's own call,
// the output array, and the fields of old-style class objects, which only
// the interpreter can reach.
#include "mxserialize/mxserialize.h"

namespace {

// Calls builtin(name, arg), so that no user function of that name answers;
// the result, or NULL when the call raised an error.
mxArray *call_builtin(const char *name, mxArray *arg, mxArray *arg2 = nullptr, mxArray *arg3 = nullptr)
{
    mxArray *in[4] = {mxCreateString(name), arg, arg2, arg3};
    int nin = arg3 ? 4 : arg2 ? 3 : 2;
    mxArray *out = nullptr;
    mxArray *err = mexCallMATLABWithTrap(1, &out, nin, in, "builtin");
    mxDestroyArray(in[0]);
    if (err) {
        mxDestroyArray(err);
        return nullptr;
    }
    return out;
}

// Octave copies an array that a MEX file makes when it returns it, but not
// one the interpreter made; above this size the copy costs more than the call.
constexpr size_t kInterpreterAllocation = size_t(1) << 20;

}  // namespace

void mxserialize_report(const char *id, const char *message)
{
    mexErrMsgIdAndTxt(id, "%s", message);
}

mxArray *mxserialize_new_bytes(size_t count)
{
    if (count >= kInterpreterAllocation) {
        mxArray *rows = mxCreateDoubleScalar(1), *cols = mxCreateDoubleScalar(static_cast<double>(count));
        mxArray *cls = mxCreateString("uint8");
        mxArray *out = call_builtin("zeros", rows, cols, cls);
        mxDestroyArray(rows);
        mxDestroyArray(cols);
        mxDestroyArray(cls);
        if (out && mxGetNumberOfElements(out) == count && mxGetData(out)) return out;
        if (out) mxDestroyArray(out);
        return nullptr;
    }
    mwSize dims[2] = {1, static_cast<mwSize>(count)};
    return mxCreateUninitNumericArray(2, dims, mxUINT8_CLASS, mxREAL);
}

mxArray *mxserialize_object_fields(const mxArray *value)
{
    mxArray *v = const_cast<mxArray *>(value);  // only read by the calls below
    // A classdef object has a metaclass; an old-style class object has none.
    if (mxArray *meta = call_builtin("metaclass", v)) {
        mxDestroyArray(meta);
        return nullptr;
    }
    return call_builtin("struct", v);
}
