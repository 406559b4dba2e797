// MATLAB's chars are UTF-16 code units; the host's may be bytes (Octave's
// hold UTF-8). These turn a byte char array into MATLAB's units.
#ifndef MXSERIALIZE_CHAR_ENCODING_H
#define MXSERIALIZE_CHAR_ENCODING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mxs {

bool all_ascii(const char *p, size_t n);

// The UTF-16 units of a column-major byte char array of dimensions `dims`.
// Each line (one row of one page) is decoded from UTF-8 on its own; a byte
// that starts no valid sequence stands for the code point of its value.
// Lines that come out shorter are padded with spaces, as MATLAB pads char
// rows; `dims[1]` becomes the widest line's length in units.
std::u16string utf16_char_matrix(const char *p, std::vector<uint64_t> &dims);

}  // namespace mxs

#endif
