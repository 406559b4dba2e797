// Arbitrary bytes through mxDeserialize, against the in-process mx stand-in.
// A fatal report longjmps out, as a host's error call may: whatever the
// decoder still held at that point would leak, and the live-array count and
// LeakSanitizer say so. A decoded value is walked (every element's storage
// read, the sparse structure checked) and destroyed.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mxdeserialize/mxdeserialize.h"

namespace {

std::jmp_buf *on_error = nullptr;
volatile uint64_t sink;

[[noreturn]] void fault(const char *what)
{
    std::fprintf(stderr, "bytestream_fuzz: %s\n", what);
    std::abort();
}

bool known_id(const char *id)
{
    static const char *const ids[] = {"bytes2value:badStream", "bytes2value:unsupportedClass",
                                      "bytes2value:outOfMemory", "bytes2value:objectAsStruct",
                                      "bytes2value:approximateHandle", "bytes2value:cycle",
                                      "bytes2value:unknownTimeZone"};
    for (const char *k : ids)
        if (id && std::strcmp(id, k) == 0) return true;
    return false;
}

void touch(const void *p, size_t bytes)
{
    const unsigned char *b = static_cast<const unsigned char *>(p);
    uint64_t s = 0;
    for (size_t i = 0; i < bytes; ++i) s += b[i];
    sink = sink + s;
}

void walk(const mxArray *a, int depth)
{
    if (!a) fault("a cell or struct slot left empty");
    if (depth > 2000) fault("result nested deeper than the decoder allows");
    const size_t n = mxGetNumberOfElements(a);
    const mxClassID cls = mxGetClassID(a);
    if (cls == mxCELL_CLASS) {
        for (size_t i = 0; i < n; ++i) walk(mxGetCell(a, static_cast<mwIndex>(i)), depth + 1);
        return;
    }
    if (cls == mxSTRUCT_CLASS) {
        int nf = mxGetNumberOfFields(a);
        for (int f = 0; f < nf; ++f) touch(mxGetFieldNameByNumber(a, f), std::strlen(mxGetFieldNameByNumber(a, f)));
        // Without fields there is nothing to visit, however many elements.
        for (size_t i = 0; nf > 0 && i < n; ++i)
            for (int f = 0; f < nf; ++f) walk(mxGetFieldByNumber(a, static_cast<mwIndex>(i), f), depth + 1);
        return;
    }
    const size_t es = mxGetElementSize(a);
    if (mxIsSparse(a)) {
        const mwSize m = mxGetM(a), cols = mxGetN(a), nzmax = mxGetNzmax(a);
        const mwIndex *ir = mxGetIr(a), *jc = mxGetJc(a);
        if (jc[0] != 0) fault("sparse column starts do not begin at 0");
        for (mwSize c = 0; c < cols; ++c) {
            if (jc[c + 1] < jc[c] || jc[c + 1] > nzmax) fault("sparse column starts out of order or past nzmax");
            for (mwIndex k = jc[c]; k < jc[c + 1]; ++k)
                if (ir[k] < 0 || ir[k] >= m || (k > jc[c] && ir[k] <= ir[k - 1]))
                    fault("sparse row index out of range or order");
        }
        const size_t nnz = static_cast<size_t>(jc[cols]);
        touch(mxGetData(a), nnz * es);
        if (mxIsComplex(a)) touch(mxGetImagData(a), nnz * es);
        if (cls == mxLOGICAL_CLASS)
            for (size_t k = 0; k < nnz; ++k)
                if (static_cast<const uint8_t *>(mxGetData(a))[k] > 1) fault("logical value not 0 or 1");
        return;
    }
    touch(mxGetData(a), n * es);
    if (mxIsComplex(a)) touch(mxGetImagData(a), n * es);
    if (cls == mxLOGICAL_CLASS)
        for (size_t k = 0; k < n; ++k)
            if (static_cast<const uint8_t *>(mxGetData(a))[k] > 1) fault("logical value not 0 or 1");
}

}  // namespace

void mxdeserialize_report(bool fatal, const char *id, const char *message)
{
    if (!known_id(id) || !message || !*message) fault("report without a known identifier or message");
    touch(message, std::strlen(message));
    if (fatal) std::longjmp(*on_error, 1);
}

// The host's functions (containers.Map, str2func, ...) stand in as a copy of
// the last argument, and fail when the first has an odd number of elements,
// so both outcomes are taken.
mxArray *mxdeserialize_call(const char *function, int nargs, mxArray *args[])
{
    if (!function || !*function || nargs < 1) fault("host call without a function or arguments");
    for (int i = 0; i < nargs; ++i) walk(args[i], 0);
    if (mxGetNumberOfElements(args[0]) % 2 == 1) return nullptr;
    return mxDuplicateArray(args[nargs - 1]);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::jmp_buf env;
    on_error = &env;
    if (setjmp(env) == 0) {
        mxArray *a = mxDeserialize(data, size);
        if (!a) fault("no value and no error reported");
        walk(a, 0);
        mxDestroyArray(a);
    }
    on_error = nullptr;
    if (mxstub_live_arrays() != 0) fault("arrays left alive after the call");
    return 0;
}
