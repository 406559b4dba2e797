#include "element_reader.h"

#include "stream_error.h"

namespace mxd {

size_t numeric_type_size(uint32_t type)
{
    switch (type) {
    case miINT8: case miUINT8: return 1;
    case miINT16: case miUINT16: return 2;
    case miINT32: case miUINT32: case miSINGLE: return 4;
    case miDOUBLE: case miINT64: case miUINT64: return 8;
    default: return 0;
    }
}

const char *data_type_name(uint32_t type)
{
    static const char *const names[] = {
        "type 0", "miINT8", "miUINT8", "miINT16", "miUINT16", "miINT32", "miUINT32",
        "miSINGLE", "type 8", "miDOUBLE", "type 10", "type 11", "miINT64", "miUINT64",
        "miMATRIX", "miCOMPRESSED", "miUTF8", "miUTF16", "miUTF32"};
    return type < sizeof names / sizeof names[0] ? names[type] : "an unknown type";
}

Element read_element(const ByteView &v, size_t &pos, size_t end)
{
    Element e{};
    e.tag_offset = pos;
    if (end < pos || end - pos < 8)
        fail_at(pos, v.where, "truncated: an element tag needs 8 bytes, " +
                                  std::to_string(end > pos ? end - pos : 0) + " left");
    uint32_t first = v.u32(pos);
    if ((first >> 16) != 0) {
        e.type = first & 0xFFFF;
        e.count = first >> 16;
        if (e.count > 4)
            fail_at(pos, v.where, "small data element claims " + std::to_string(e.count) +
                                      " bytes (at most 4 fit)");
        e.data_offset = pos + 4;
        pos += 8;
    } else {
        e.type = first;
        e.count = v.u32(pos + 4);
        e.data_offset = pos + 8;
        size_t left = end - e.data_offset;
        // A matrix's parts are checked one by one, so a matrix that claims
        // more than its container holds is read up to the container's end
        // (Octave's writer overstates matrices that hold short char data).
        if (e.type == miMATRIX && e.count > left) {
            e.count = left;
            e.clamped = true;
        }
        if (e.count > left)
            fail_at(pos, v.where, std::string(data_type_name(e.type)) + " element claims " +
                                      std::to_string(e.count) + " bytes, " +
                                      std::to_string(left) + " left");
        size_t padded = e.count + ((8 - e.count % 8) % 8);
        pos = padded > left ? end : e.data_offset + padded;
    }
    if (e.type == 0 || e.type > miUTF32 || e.type == 8 || e.type == 10 || e.type == 11)
        fail_at(e.tag_offset, v.where, "bad element tag: data type " + std::to_string(e.type));
    return e;
}

}  // namespace mxd
