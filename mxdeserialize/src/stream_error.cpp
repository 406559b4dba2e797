#include "stream_error.h"

namespace mxd {

const char *const kBadStream = "bytes2value:badStream";
const char *const kUnsupportedClass = "bytes2value:unsupportedClass";

void fail_at(size_t offset, const std::string &where, const std::string &what)
{
    throw StreamError{kBadStream, "malformed stream: " + what + " (at byte " +
                                      std::to_string(offset) + where + ")"};
}

void fail_unsupported(size_t offset, const std::string &where, const std::string &what)
{
    throw StreamError{kUnsupportedClass, what + " (at byte " + std::to_string(offset) + where + ")"};
}

}  // namespace mxd
