// Reading back arrays the decoder has built, for the object builder, which
// decodes property values first and looks into them afterwards.
#ifndef MXDESERIALIZE_MX_ACCESS_H
#define MXDESERIALIZE_MX_ACCESS_H

#include <cstdint>
#include <cstring>
#include <string>

#include "array_decoder.h"
#include "mxdeserialize/mx_api.h"

namespace mxd {

// Field `name` of element 0 of a struct, or null.
inline mxArray *field_of(const mxArray *s, const char *name)
{
    if (!s || mxGetClassID(s) != mxSTRUCT_CLASS || mxGetNumberOfElements(s) < 1) return nullptr;
    const int n = mxGetNumberOfFields(s);
    for (int f = 0; f < n; ++f)
        if (std::strcmp(mxGetFieldNameByNumber(s, f), name) == 0) return mxGetFieldByNumber(s, 0, f);
    return nullptr;
}

inline bool is_struct1(const mxArray *a)
{
    return a && mxGetClassID(a) == mxSTRUCT_CLASS && mxGetNumberOfElements(a) == 1;
}

// A char array with one row (or none) as text: UTF-8 on hosts with 8-bit
// chars; on 16-bit hosts only ASCII text is taken, anything else is false.
inline bool text_of(const mxArray *a, std::string &out)
{
    if (!a || mxGetClassID(a) != mxCHAR_CLASS || mxGetNumberOfDimensions(a) != 2) return false;
    const size_t n = mxGetNumberOfElements(a);
    if (n != 0 && mxGetDimensions(a)[0] != 1) return false;
    const mxChar *p = static_cast<const mxChar *>(mxGetData(a));
    out.clear();
    for (size_t i = 0; i < n; ++i) {
        if constexpr (sizeof(mxChar) != 1) {
            if (static_cast<uint32_t>(p[i]) >= 0x80) return false;
        }
        out.push_back(static_cast<char>(p[i]));
    }
    return true;
}

// A real numeric 1x1 (uint32 and double are what the subsystem uses).
inline bool uint32_scalar(const mxArray *a, uint32_t &out)
{
    if (!a || mxGetClassID(a) != mxUINT32_CLASS || mxGetNumberOfElements(a) != 1 || mxIsComplex(a)) return false;
    out = *static_cast<const uint32_t *>(mxGetData(a));
    return true;
}

inline OwnedArray empty_double()
{
    mwSize dims[2] = {0, 0};
    return host_new([&] { return mxCreateUninitNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL); });
}

inline OwnedArray duplicate(const mxArray *a)
{
    return host_new([&] { return mxDuplicateArray(a); });
}

// A char row of the bytes of s (0x0 when empty).
inline OwnedArray text_array(const std::string &s)
{
    mwSize dims[2] = {s.empty() ? 0 : 1, static_cast<mwSize>(s.size())};
    OwnedArray a = host_new([&] { return mxCreateCharArray(2, dims); });
    mxChar *p = static_cast<mxChar *>(mxGetData(a.get()));
    for (size_t i = 0; i < s.size(); ++i) p[i] = static_cast<mxChar>(static_cast<unsigned char>(s[i]));
    return a;
}

}  // namespace mxd

#endif
