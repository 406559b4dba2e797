// The stream as a whole: the 8-byte prefix, then the value's miMATRIX.
//
//   00 01        version 0x0100, in the writer's byte order
//   49 4D        byte-order mark "IM" (a little-endian writer)
//   00 00 00 00
//   miMATRIX     the value (array_encoder.h)
#include "mxserialize/mxserialize.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "array_encoder.h"
#include "serialize_error.h"

namespace {

void write_stream(const mxArray *value, mxs::Plan &plan, mxs::StreamWriter &w)
{
    const uint16_t head[2] = {0x0100, 0x4D49};  // native order, as the mark says
    w.raw(head, sizeof head);
    w.zeros(4);
    mxs::ArrayEncoder(plan, w).encode(value, 0);
}

}  // namespace

mxArray *mxSerialize(const mxArray *value)
{
    // The host's error call may not return, so it is made only here, once
    // everything made on the way is gone.
    char message[512];
    const char *id = nullptr;
    try {
        mxs::Plan plan;
        mxs::StreamWriter counter(nullptr);
        write_stream(value, plan, counter);

        mxs::OwnedArray out(mxserialize_new_bytes(static_cast<size_t>(counter.pos())));
        if (!out) throw std::bad_alloc();
        mxs::StreamWriter w(static_cast<uint8_t *>(mxGetData(out.get())));
        write_stream(value, plan, w);
        if (w.pos() != counter.pos())
            mxs::fail("value2bytes:internal", "the value changed size between measuring and writing");
        return out.release();
    } catch (const mxs::SerializeError &err) {
        id = err.id;
        std::snprintf(message, sizeof message, "%s", err.message.c_str());
    } catch (const std::bad_alloc &) {
        id = "value2bytes:outOfMemory";
        std::snprintf(message, sizeof message, "out of memory while writing the stream");
    }
    mxserialize_report(id, message);
    return nullptr;
}
