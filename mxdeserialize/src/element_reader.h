// Bounds-checked reading of the stream's tagged data elements. Every length
// field is checked against the bytes that are really there before use.
#ifndef MXDESERIALIZE_ELEMENT_READER_H
#define MXDESERIALIZE_ELEMENT_READER_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace mxd {

enum DataType : uint32_t {
    miINT8 = 1, miUINT8 = 2, miINT16 = 3, miUINT16 = 4, miINT32 = 5, miUINT32 = 6,
    miSINGLE = 7, miDOUBLE = 9, miINT64 = 12, miUINT64 = 13, miMATRIX = 14,
    miCOMPRESSED = 15, miUTF8 = 16, miUTF16 = 17, miUTF32 = 18
};

// Size of one value of a numeric data type; 0 for anything else.
size_t numeric_type_size(uint32_t type);
const char *data_type_name(uint32_t type);

inline uint32_t bswap32(uint32_t v) { return __builtin_bswap32(v); }

// A run of stream bytes with the writer's byte order. `where` is appended to
// error offsets so a message can tell inflated data from the outer stream.
struct ByteView {
    const uint8_t *data;
    size_t size;
    bool swap;
    std::string where;

    uint32_t u32(size_t off) const
    {
        uint32_t v;
        std::memcpy(&v, data + off, 4);
        return swap ? bswap32(v) : v;
    }
};

struct Element {
    uint32_t type;
    size_t tag_offset;   // where the tag begins
    size_t data_offset;  // where the data begins
    size_t count;        // data bytes, padding not counted
    bool clamped;        // a matrix cut to its container's end
};

// Reads the element whose tag is at `pos`, which must lie in [pos, end).
// On return `pos` is past the data and its padding (clamped to `end`, as some
// writers leave out the padding of the last element).
Element read_element(const ByteView &v, size_t &pos, size_t end);

}  // namespace mxd

#endif
