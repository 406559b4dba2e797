// Turns the contents of one miMATRIX element into a new mxArray.
#ifndef MXDESERIALIZE_ARRAY_DECODER_H
#define MXDESERIALIZE_ARRAY_DECODER_H

#include <cstddef>
#include <new>
#include <string>
#include <vector>

#include "decode_context.h"
#include "element_reader.h"
#include "mxdeserialize/mx_api.h"

namespace mxd {

constexpr int kMaxDepth = 1000;

// Owns an mxArray until it is handed on, so an error on the way out of a
// half-built value destroys everything already made.
class OwnedArray {
public:
    explicit OwnedArray(mxArray *p = nullptr) : p_(p) {}
    OwnedArray(OwnedArray &&o) noexcept : p_(o.release()) {}
    OwnedArray &operator=(OwnedArray &&o) noexcept
    {
        reset(o.release());
        return *this;
    }
    OwnedArray(const OwnedArray &) = delete;
    OwnedArray &operator=(const OwnedArray &) = delete;
    ~OwnedArray() { reset(nullptr); }

    mxArray *get() const { return p_; }
    mxArray *release()
    {
        mxArray *p = p_;
        p_ = nullptr;
        return p;
    }
    void reset(mxArray *p)
    {
        if (p_) mxDestroyArray(p_);
        p_ = p;
    }

private:
    mxArray *p_;
};

// The parts of a miMATRIX before its class-specific data. An opaque array
// (class 17) has no dimensions but a type system and a class name instead.
struct MatrixHeader {
    size_t offset;  // the miMATRIX tag
    uint32_t cls;
    uint32_t flags;
    std::vector<mwSize> dims;
    uint64_t numel;     // 0 when too_many
    bool too_many;      // the dimensions' product passes kMaxElements
    size_t dims_offset;
    std::string type_system, class_name;  // opaque arrays only
};

// Reads the header of the non-empty miMATRIX `e`; on return `pos` is where
// the class-specific parts begin.
MatrixHeader read_matrix_header(const ByteView &v, const Element &e, size_t &pos);

enum StreamClass : uint32_t {
    kCell = 1, kStruct = 2, kObject = 3, kChar = 4, kSparse = 5, kDouble = 6, kSingle = 7,
    kInt8 = 8, kUint8 = 9, kInt16 = 10, kUint16 = 11, kInt32 = 12, kUint32 = 13,
    kInt64 = 14, kUint64 = 15, kFunction = 16, kOpaque = 17, kMatrixObject = 18
};

// The host's allocator fails by answering null or by raising an error of
// its own (Octave's carries no identifier). Both become bad_alloc, so that
// every allocation failure is reported alike, once the value built so far
// has been destroyed.
template <typename F>
OwnedArray host_new(F &&make)
{
    mxArray *a = nullptr;
    try {
        a = make();
    } catch (...) {
        throw std::bad_alloc();
    }
    if (!a) throw std::bad_alloc();
    return OwnedArray(a);
}

class ArrayDecoder {
public:
    // Plain: opaque arrays and function handles become the values they stand
    // for. Raw: they stay as stored (an opaque array is its content), for
    // values the object builder looks into before it resolves them.
    enum Mode { kPlain, kRaw };

    // The view must outlive the decoder.
    ArrayDecoder(const ByteView &view, DecodeContext &ctx, Mode mode = kPlain)
        : v_(view), ctx_(ctx), mode_(mode) {}

    // `e` is a miMATRIX element of the view; depth 0 is the top level. On
    // return `next` is where its last part ended (padded), which is where
    // the element after it begins.
    OwnedArray decode(const Element &e, int depth, size_t &next);

    const ByteView &view() const { return v_; }

private:
    using Header = MatrixHeader;

    OwnedArray opaque(const Header &h, size_t &pos, size_t end, int depth);
    OwnedArray function_handle(const Header &h, size_t &pos, size_t end, int depth);
    OwnedArray decode_parts(const Header &h, size_t &pos, size_t end, int depth);
    OwnedArray numeric(const Header &h, size_t &pos, size_t end);
    OwnedArray sparse(const Header &h, size_t &pos, size_t end, bool logical);
    OwnedArray text(const Header &h, size_t &pos, size_t end);
    OwnedArray cell(const Header &h, size_t &pos, size_t end, int depth);
    OwnedArray structure(const Header &h, size_t &pos, size_t end, int depth);

    const ByteView &v_;
    DecodeContext &ctx_;
    Mode mode_;
};

}  // namespace mxd

#endif
