#include "stream_writer.h"

#include <string>

#include "serialize_error.h"

namespace mxs {

void StreamWriter::tag(uint32_t type, uint64_t count, const char *what)
{
    if (count > kMaxElementBytes)
        fail(kTooLarge, std::string(what) + " would take " + std::to_string(count) +
                            " bytes; a stream element holds at most 4294967295");
    uint32_t t[2] = {type, static_cast<uint32_t>(count)};
    raw(t, sizeof t);
}

void StreamWriter::element(uint32_t type, const void *data, uint64_t bytes, const char *what)
{
    if (bytes >= 1 && bytes <= 4) {
        uint32_t t = type | static_cast<uint32_t>(bytes) << 16;
        raw(&t, 4);
        raw(data, static_cast<size_t>(bytes));
        zeros(static_cast<size_t>(4 - bytes));
        return;
    }
    tag(type, bytes, what);
    raw(data, static_cast<size_t>(bytes));
    pad();
}

}  // namespace mxs
