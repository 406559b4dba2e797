// The one exception the serializer throws inside itself; turned into a host
// error at the top, once everything made on the way has been destroyed.
#ifndef MXSERIALIZE_SERIALIZE_ERROR_H
#define MXSERIALIZE_SERIALIZE_ERROR_H

#include <string>

namespace mxs {

struct SerializeError {
    const char *id;
    std::string message;
};

constexpr const char *kTooLarge = "value2bytes:tooLarge";
constexpr const char *kTooDeep = "value2bytes:tooDeep";
constexpr const char *kUnsupportedClass = "value2bytes:unsupportedClass";

[[noreturn]] inline void fail(const char *id, std::string message)
{
    throw SerializeError{id, std::move(message)};
}

}  // namespace mxs

#endif
