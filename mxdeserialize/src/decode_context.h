// What one call of mxDeserialize shares between the decoders it runs: the
// warnings met so far and the builder of the stream's objects.
#ifndef MXDESERIALIZE_DECODE_CONTEXT_H
#define MXDESERIALIZE_DECODE_CONTEXT_H

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace mxd {

class ObjectBuilder;

// A place in the stream, for messages: a byte offset and the part it counts
// in (a view's own text, which outlives the Where).
struct Where {
    size_t at;
    const std::string &where;
};

struct Warning {
    const char *id;
    std::string message;
};

struct DecodeContext {
    std::vector<Warning> warnings;
    std::set<std::string> warned;     // id and subject: each is said once per call
    ObjectBuilder *objects = nullptr;  // null where no object can occur

    // `message` makes the text, only when it is said.
    template <typename F>
    void warn(const char *id, const std::string &subject, F &&message)
    {
        if (warned.insert(std::string(id) + '\n' + subject).second) warnings.push_back({id, message()});
    }
};

}  // namespace mxd

#endif
