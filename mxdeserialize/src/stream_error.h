// The one exception the decoder throws inside itself; turned into a host
// error at the top, after the partially built value has been destroyed.
#ifndef MXDESERIALIZE_STREAM_ERROR_H
#define MXDESERIALIZE_STREAM_ERROR_H

#include <cstddef>
#include <string>

namespace mxd {

struct StreamError {
    const char *id;       // "bytes2value:badStream" or "bytes2value:unsupportedClass"
    std::string message;  // already says where
};

extern const char *const kBadStream;
extern const char *const kUnsupportedClass;

[[noreturn]] void fail_at(size_t offset, const std::string &where, const std::string &what);
[[noreturn]] void fail_unsupported(size_t offset, const std::string &where, const std::string &what);

}  // namespace mxd

#endif
