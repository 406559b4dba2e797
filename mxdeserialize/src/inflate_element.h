// miCOMPRESSED: zlib data holding one complete data element.
#ifndef MXDESERIALIZE_INFLATE_ELEMENT_H
#define MXDESERIALIZE_INFLATE_ELEMENT_H

#include <cstdint>
#include <vector>

#include "element_reader.h"

namespace mxd {

// Inflates the element `e` of `v`. The size of the output is taken from the
// inner element's own tag and must be within zlib's greatest possible ratio
// of the compressed size, so a bomb is refused before anything is allocated.
std::vector<uint8_t> inflate_element(const ByteView &v, const Element &e);

}  // namespace mxd

#endif
