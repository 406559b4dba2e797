// The subsystem: the element after the value that holds every object's class
// and properties. Parsed once, checked whole, then only looked up.
#ifndef MXDESERIALIZE_SUBSYSTEM_H
#define MXDESERIALIZE_SUBSYSTEM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "element_reader.h"

namespace mxd {

struct PropertyRecord {
    uint32_t name;   // index into names
    uint32_t type;   // 0 name as text, 1 value cell, 2 integer
    uint32_t value;  // by type: name index, 0-based value cell, the integer
};

using PropertyBlock = std::vector<PropertyRecord>;

// Blocks are shared, not copied: a hostile table may point many objects at
// one large block.
struct ObjectRecord {
    uint32_t cls = 0;      // class id
    uint32_t type1 = 0;    // block in Subsystem::type1, 0 for none
    uint32_t type2 = 0;    // block in Subsystem::type2
    uint32_t dynamic = 0;  // block in Subsystem::dynamic
};

struct Subsystem {
    ByteView view;                        // the subsystem's own stream
    std::vector<uint8_t> inflated;        // its bytes, when they had to be inflated
    uint32_t version = 0;
    std::vector<std::string> names;       // 1-based; names[0] is empty
    std::vector<std::string> classes;     // 1-based full class names
    std::vector<ObjectRecord> objects;    // 1-based; objects[0] unused
    std::vector<PropertyBlock> type1, type2;
    std::vector<std::vector<uint32_t>> dynamic;  // object ids of dynamic properties
    std::vector<Element> values;          // property value cells, 0-based
    std::vector<Element> defaults;        // per class id (element 0 unused)
};

// Parses the subsystem element at `pos` of the outer view `v`. `needed_at`
// is the object that made it necessary, for the message when it is absent.
void parse_subsystem(const ByteView &v, size_t pos, size_t needed_at, Subsystem &out);

}  // namespace mxd

#endif
