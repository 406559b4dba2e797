// Copies stream values of any numeric storage type into an array's element
// type. Other writers narrow (doubles stored as miUINT8 and the like), so the
// type on the wire need not match the class; out-of-range values saturate and
// NaN becomes 0 for integer classes, as MATLAB's own conversions do.
#ifndef MXDESERIALIZE_NUMERIC_CONVERT_H
#define MXDESERIALIZE_NUMERIC_CONVERT_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "element_reader.h"

namespace mxd {

template <typename T>
inline T load_value(const uint8_t *p, bool swap)
{
    T v;
    if (!swap) {
        std::memcpy(&v, p, sizeof v);
    } else {
        uint8_t b[sizeof(T)];
        for (size_t i = 0; i < sizeof(T); ++i) b[i] = p[sizeof(T) - 1 - i];
        std::memcpy(&v, b, sizeof v);
    }
    return v;
}

template <typename D, typename S>
inline D convert_value(S s)
{
    if constexpr (std::is_same_v<D, S> || std::is_floating_point_v<D>) {
        return static_cast<D>(s);
    } else if constexpr (std::is_floating_point_v<S>) {
        if (std::isnan(s)) return 0;
        S r = std::round(s);
        if (r <= static_cast<S>(std::numeric_limits<D>::min())) return std::numeric_limits<D>::min();
        if (r >= static_cast<S>(std::numeric_limits<D>::max())) return std::numeric_limits<D>::max();
        return static_cast<D>(r);
    } else if constexpr (std::is_signed_v<S>) {
        int64_t v = s;
        if (v < 0) {
            if constexpr (std::is_unsigned_v<D>) return 0;
            else if (v < static_cast<int64_t>(std::numeric_limits<D>::min())) return std::numeric_limits<D>::min();
            return static_cast<D>(v);
        }
        if (static_cast<uint64_t>(v) > static_cast<uint64_t>(std::numeric_limits<D>::max()))
            return std::numeric_limits<D>::max();
        return static_cast<D>(v);
    } else {
        uint64_t v = s;
        if (v > static_cast<uint64_t>(std::numeric_limits<D>::max())) return std::numeric_limits<D>::max();
        return static_cast<D>(v);
    }
}

template <typename D, typename S>
inline void convert_run(D *dst, const uint8_t *src, size_t n, bool swap)
{
    if (std::is_same_v<D, S> && !swap) {
        std::memcpy(dst, src, n * sizeof(D));  // the common case: one straight copy
        return;
    }
    for (size_t i = 0; i < n; ++i) dst[i] = convert_value<D>(load_value<S>(src + i * sizeof(S), swap));
}

// `type` must be a numeric data type (numeric_type_size(type) != 0).
template <typename D>
inline void convert_numeric(D *dst, uint32_t type, const uint8_t *src, size_t n, bool swap)
{
    switch (type) {
    case miINT8: convert_run<D, int8_t>(dst, src, n, swap); break;
    case miUINT8: convert_run<D, uint8_t>(dst, src, n, swap); break;
    case miINT16: convert_run<D, int16_t>(dst, src, n, swap); break;
    case miUINT16: convert_run<D, uint16_t>(dst, src, n, swap); break;
    case miINT32: convert_run<D, int32_t>(dst, src, n, swap); break;
    case miUINT32: convert_run<D, uint32_t>(dst, src, n, swap); break;
    case miSINGLE: convert_run<D, float>(dst, src, n, swap); break;
    case miDOUBLE: convert_run<D, double>(dst, src, n, swap); break;
    case miINT64: convert_run<D, int64_t>(dst, src, n, swap); break;
    case miUINT64: convert_run<D, uint64_t>(dst, src, n, swap); break;
    default: break;
    }
}

// Logical data: any non-zero value (NaN included) is true.
template <typename S>
inline void truth_run(uint8_t *dst, const uint8_t *src, size_t n, bool swap)
{
    for (size_t i = 0; i < n; ++i) dst[i] = load_value<S>(src + i * sizeof(S), swap) != 0;
}

inline void convert_truth(uint8_t *dst, uint32_t type, const uint8_t *src, size_t n, bool swap)
{
    switch (type) {
    case miINT8: truth_run<int8_t>(dst, src, n, swap); break;
    case miUINT8: truth_run<uint8_t>(dst, src, n, swap); break;
    case miINT16: truth_run<int16_t>(dst, src, n, swap); break;
    case miUINT16: truth_run<uint16_t>(dst, src, n, swap); break;
    case miINT32: truth_run<int32_t>(dst, src, n, swap); break;
    case miUINT32: truth_run<uint32_t>(dst, src, n, swap); break;
    case miSINGLE: truth_run<float>(dst, src, n, swap); break;
    case miDOUBLE: truth_run<double>(dst, src, n, swap); break;
    case miINT64: truth_run<int64_t>(dst, src, n, swap); break;
    case miUINT64: truth_run<uint64_t>(dst, src, n, swap); break;
    default: break;
    }
}

}  // namespace mxd

#endif
