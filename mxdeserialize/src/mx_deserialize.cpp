// The stream as a whole: the 8-byte prefix, then one miMATRIX element
// (possibly inside a miCOMPRESSED one). When the value holds objects, the
// element after it is the subsystem that describes them; anything else after
// the value is ignored.
#include "mxdeserialize/mxdeserialize.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "array_decoder.h"
#include "inflate_element.h"
#include "object_builder.h"
#include "stream_error.h"

namespace {

constexpr bool kHostLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

mxd::OwnedArray decode_stream(const uint8_t *bytes, size_t count, mxd::DecodeContext &ctx)
{
    using namespace mxd;
    if (bytes == nullptr || count < 8)
        fail_at(0, "", "truncated: " + std::to_string(bytes ? count : 0) +
                           " bytes, the stream header alone needs 8");
    bool big_endian;
    if (bytes[2] == 'I' && bytes[3] == 'M')
        big_endian = false;
    else if (bytes[2] == 'M' && bytes[3] == 'I')
        big_endian = true;
    else
        fail_at(2, "", "no byte-order mark (IM or MI)");
    ByteView v{bytes, count, big_endian == kHostLittleEndian, ""};
    uint16_t version = big_endian ? uint16_t(bytes[0] << 8 | bytes[1]) : uint16_t(bytes[1] << 8 | bytes[0]);
    if (version != 0x0100) fail_at(0, "", "unknown version " + std::to_string(version));

    size_t pos = 8;
    Element e = read_element(v, pos, count);
    if (e.type == miCOMPRESSED) {
        std::vector<uint8_t> inner = inflate_element(v, e);
        ByteView iv{inner.data(), inner.size(), v.swap,
                    " of the data inflated from byte " + std::to_string(e.tag_offset)};
        size_t ipos = 0;
        Element ie = read_element(iv, ipos, inner.size());
        if (ie.type != miMATRIX)
            fail_at(0, iv.where, std::string("compressed element holds ") + data_type_name(ie.type) +
                                     ", not miMATRIX");
        ObjectBuilder objects(ctx, v, pos, count);
        ctx.objects = &objects;
        ArrayDecoder d(iv, ctx);
        size_t next = 0;
        OwnedArray a = d.decode(ie, 0, next);
        ctx.objects = nullptr;
        return a;
    }
    if (e.type != miMATRIX)
        fail_at(8, "", std::string("the value is ") + data_type_name(e.type) + ", not miMATRIX");
    // Objects are described in the element after the value.
    ObjectBuilder objects(ctx, v, pos, count);
    ctx.objects = &objects;
    ArrayDecoder d(v, ctx);
    size_t next = 0;
    OwnedArray a = d.decode(e, 0, next);
    ctx.objects = nullptr;
    return a;
}

}  // namespace

mxArray *mxDeserialize(const void *bytes, size_t count)
{
    // The host's error call may not return (and may longjmp), so it is made
    // only here, once everything the decoder built or held is gone.
    char message[512];
    const char *id = nullptr;
    try {
        mxd::DecodeContext ctx;
        mxd::OwnedArray a = decode_stream(static_cast<const uint8_t *>(bytes), count, ctx);
        for (const mxd::Warning &w : ctx.warnings) mxdeserialize_report(false, w.id, w.message.c_str());
        return a.release();
    } catch (const mxd::StreamError &err) {
        id = err.id;
        std::snprintf(message, sizeof message, "%s", err.message.c_str());
    } catch (const std::bad_alloc &) {
        id = "bytes2value:outOfMemory";
        std::snprintf(message, sizeof message, "out of memory while decoding the stream");
    }
    mxdeserialize_report(true, id, message);
    return nullptr;
}
