// Char data: the stream may hold it as miUTF8, miUTF16, miUTF32, miUINT16 or
// (older writers) one byte per char. MATLAB's chars are UTF-16 code units, so
// everything is first decoded to those; a host with 8-bit chars then gets the
// text re-encoded as UTF-8, row by row.
#ifndef MXDESERIALIZE_TEXT_DECODE_H
#define MXDESERIALIZE_TEXT_DECODE_H

#include <cstddef>
#include <string>
#include <vector>

#include "element_reader.h"

namespace mxd {

// The UTF-16 code units of a char array's data element, checked to be valid
// text in the element's encoding.
std::u16string decode_char_units(const ByteView &v, const Element &e);

// Appends the UTF-8 bytes of the code point cp.
void append_utf8(std::string &s, char32_t cp);

// Column-major UTF-16 units of a rows x (units/rows) char array re-encoded as
// a rows x width UTF-8 char array (column-major, short rows padded with
// blanks). Unpaired surrogates become U+FFFD.
std::string utf8_char_matrix(const std::u16string &units, size_t rows, size_t &width);

}  // namespace mxd

#endif
