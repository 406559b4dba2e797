// mxSerialize on every value that mxDeserialize makes of arbitrary bytes,
// against the in-process mx stand-in. Whatever the decoder accepts, the
// serializer must write (it refuses nothing the decoder can build), the
// decoder must read back, and the second stream must equal the first byte
// for byte. Char arrays with non-ASCII text in more than one line are the
// exception: the decoder pads lines in UTF-8 bytes and the serializer in
// UTF-16 units, so each trip may add trailing spaces.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "mxdeserialize/mxdeserialize.h"
#include "mxserialize/mxserialize.h"

namespace {

std::jmp_buf *on_error = nullptr;

[[noreturn]] void fault(const char *what)
{
    std::fprintf(stderr, "value2bytes_fuzz: %s\n", what);
    std::abort();
}

bool padded_text(const mxArray *a)
{
    const size_t n = mxGetNumberOfElements(a);
    switch (mxGetClassID(a)) {
    case mxCELL_CLASS:
        for (size_t i = 0; i < n; ++i)
            if (padded_text(mxGetCell(a, static_cast<mwIndex>(i)))) return true;
        return false;
    case mxSTRUCT_CLASS: {
        const int nf = mxGetNumberOfFields(a);
        for (size_t i = 0; nf > 0 && i < n; ++i)
            for (int f = 0; f < nf; ++f)
                if (padded_text(mxGetFieldByNumber(a, static_cast<mwIndex>(i), f))) return true;
        return false;
    }
    case mxCHAR_CLASS: {
        if (n == 0 || mxGetDimensions(a)[1] == static_cast<mwSize>(n)) return false;  // one line
        const unsigned char *p = static_cast<const unsigned char *>(mxGetData(a));
        for (size_t i = 0; i < n; ++i)
            if (p[i] >= 0x80) return true;
        return false;
    }
    default: return false;
    }
}

mxArray *serialize_or_fault(const mxArray *a)
{
    std::jmp_buf env;
    on_error = &env;
    if (setjmp(env) != 0) fault("the serializer refused a value the decoder made");
    mxArray *s = mxSerialize(a);
    on_error = nullptr;
    if (!s) fault("no stream and no error reported");
    return s;
}

}  // namespace

void mxdeserialize_report(bool fatal, const char *, const char *)
{
    if (fatal) std::longjmp(*on_error, 1);
}

// No host functions here: objects fall back to what needs none.
mxArray *mxdeserialize_call(const char *, int, mxArray *[]) { return nullptr; }

void mxserialize_report(const char *id, const char *message)
{
    std::fprintf(stderr, "value2bytes_fuzz: %s: %s\n", id, message);
    std::longjmp(*on_error, 1);
}

mxArray *mxserialize_new_bytes(size_t count)
{
    mwSize dims[2] = {1, static_cast<mwSize>(count)};
    return mxCreateUninitNumericArray(2, dims, mxUINT8_CLASS, mxREAL);
}

mxArray *mxserialize_object_fields(const mxArray *) { return nullptr; }

// value2bytes_mx.h: the serializer calls these for real double scalars and
// for objects only.
double mxGetScalar(const mxArray *a) { return *static_cast<const double *>(mxGetData(a)); }
const char *mxGetClassName(const mxArray *) { return "unknown"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    mxArray *a = nullptr;
    std::jmp_buf env;
    on_error = &env;
    if (setjmp(env) == 0) a = mxDeserialize(data, size);
    on_error = nullptr;
    if (!a) {
        if (mxstub_live_arrays() != 0) fault("arrays left alive after a refused stream");
        return 0;
    }

    mxArray *s1 = serialize_or_fault(a);
    mxArray *b = nullptr;
    on_error = &env;
    if (setjmp(env) == 0) b = mxDeserialize(mxGetData(s1), mxGetNumberOfElements(s1));
    on_error = nullptr;
    if (!b) fault("the decoder refused a stream the serializer wrote");
    mxArray *s2 = serialize_or_fault(b);
    if (!padded_text(a) && (mxGetNumberOfElements(s1) != mxGetNumberOfElements(s2) ||
                            std::memcmp(mxGetData(s1), mxGetData(s2), mxGetNumberOfElements(s1)) != 0))
        fault("a value written, read and written again changed its stream");

    for (mxArray *x : {a, s1, b, s2}) mxDestroyArray(x);
    if (mxstub_live_arrays() != 0) fault("arrays left alive after the call");
    return 0;
}
