// One value as a miMATRIX element, the way MATLAB's serializer lays it out.
//
//   miMATRIX tag                  byte count of everything below
//     array flags  miUINT32 x 2   class | flag bits << 8, then nzmax (sparse) or 0
//     dimensions   miINT32 x N    N >= 2
//     array name   miINT8         always empty: 01 00 00 00 00 00 00 00
//     numeric      real part, then imaginary part when complex
//     char         miUTF8 when every char is ASCII, else miUTF16
//     sparse       ir, jc (miINT32), real part, imaginary part
//     cell         one miMATRIX per element, column-major
//     struct       field-name length L (miINT32, small form), the names
//                  (miINT8, each NUL-padded to L), then one miMATRIX per
//                  element and field, fields varying fastest
//     object       class name (miINT8), then the struct's parts
//
// The encoder is run twice over the same value: the counting run measures
// every miMATRIX (in the order they are met) and finds every error, so the
// writing run, into an output of the measured size, never fails half way.
#ifndef MXSERIALIZE_ARRAY_ENCODER_H
#define MXSERIALIZE_ARRAY_ENCODER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mxserialize/mx_api.h"
#include "stream_writer.h"

namespace mxs {

constexpr int kMaxDepth = 1000;

struct ArrayDeleter {
    void operator()(mxArray *a) const { mxDestroyArray(a); }
};
using OwnedArray = std::unique_ptr<mxArray, ArrayDeleter>;

// What the counting run learns and the writing run reuses, each list in
// the order the arrays are met.
struct Plan {
    std::vector<uint64_t> matrix_bytes;    // every miMATRIX's byte count
    std::vector<OwnedArray> objects;       // each object's fields as a struct
    std::vector<std::u16string> texts;     // each non-ASCII char array's units
};

class ArrayEncoder {
public:
    ArrayEncoder(Plan &plan, StreamWriter &w) : plan_(plan), w_(w) {}

    // `a` may be null: an element never set, written as a bare miMATRIX tag.
    void encode(const mxArray *a, int depth);

private:
    void matrix_body(const mxArray *a, int depth);
    void header(uint32_t cls, uint32_t flags, uint32_t nzmax, const std::vector<uint64_t> &dims);
    void numeric(const mxArray *a, mxClassID id, const std::vector<uint64_t> &dims);
    void sparse(const mxArray *a, bool logical, const std::vector<uint64_t> &dims);
    void text(const mxArray *a, std::vector<uint64_t> dims);
    void cell(const mxArray *a, const std::vector<uint64_t> &dims, int depth);
    void structure(const mxArray *a, uint64_t numel, int depth);
    void object(const mxArray *a, int depth);
    [[noreturn]] void unsupported(const char *cls);
    void check_dims(const std::vector<uint64_t> &dims) const;

    // Where the encoder is inside the value, for messages.
    struct Step {
        const mxArray *container;
        uint64_t index;
        int field;  // -1 in a cell
    };
    std::string where() const;

    Plan &plan_;
    StreamWriter &w_;
    size_t next_matrix_ = 0, next_object_ = 0, next_text_ = 0;
    std::vector<Step> path_;
};

}  // namespace mxs

#endif
