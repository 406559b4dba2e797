// Tagged data elements, written the way MATLAB's serializer writes them.
//
//   long form     [type u32][count u32][count bytes][zeros to a multiple of 8]
//   small form    [type u16][count u16][count bytes, zero-padded to 4]
//
// The small form is used for every element of 1 to 4 bytes, the long form
// for everything else, including elements with no data. The writer runs
// twice over the same calls: first with no output, only counting, then into
// the output, whose size the first run gave.
#ifndef MXSERIALIZE_STREAM_WRITER_H
#define MXSERIALIZE_STREAM_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mxs {

enum DataType : uint32_t {
    miINT8 = 1, miUINT8 = 2, miINT16 = 3, miUINT16 = 4, miINT32 = 5, miUINT32 = 6,
    miSINGLE = 7, miDOUBLE = 9, miINT64 = 12, miUINT64 = 13, miMATRIX = 14,
    miUTF8 = 16, miUTF16 = 17
};

// The largest byte count a tag can hold.
constexpr uint64_t kMaxElementBytes = 0xFFFFFFFFu;

class StreamWriter {
public:
    // `out` is null for the counting run.
    explicit StreamWriter(uint8_t *out) : out_(out) {}

    bool counting() const { return out_ == nullptr; }
    uint64_t pos() const { return pos_; }

    void raw(const void *p, size_t n)
    {
        if (out_ && n) std::memcpy(out_ + pos_, p, n);
        pos_ += n;
    }
    void zeros(size_t n)
    {
        if (out_ && n) std::memset(out_ + pos_, 0, n);
        pos_ += n;
    }
    void pad() { zeros(static_cast<size_t>((8 - pos_ % 8) % 8)); }

    // A long-form tag; `what` names the element if its count is too large.
    void tag(uint32_t type, uint64_t count, const char *what);

    // A whole element of `bytes` bytes at `data`, in either form.
    void element(uint32_t type, const void *data, uint64_t bytes, const char *what);

    // A whole element of n values of type T, value k given by at(k): for
    // data held in another type than the one the stream stores.
    template <typename T, typename F>
    void element_of(uint32_t type, uint64_t n, F at, const char *what)
    {
        if (n * sizeof(T) <= 4 && n > 0) {
            T v[4 / sizeof(T)] = {};
            for (uint64_t k = 0; k < n; ++k) v[k] = at(k);
            element(type, v, n * sizeof(T), what);
            return;
        }
        tag(type, n * sizeof(T), what);
        if (out_) {
            for (uint64_t k = 0; k < n; ++k) {
                T v = at(k);
                std::memcpy(out_ + pos_ + k * sizeof(T), &v, sizeof(T));
            }
        }
        pos_ += n * sizeof(T);
        pad();
    }

private:
    uint8_t *out_;
    uint64_t pos_ = 0;
};

}  // namespace mxs

#endif
