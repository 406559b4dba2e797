// Turns the contents of one miMATRIX element into a new mxArray.
#ifndef MXDESERIALIZE_ARRAY_DECODER_H
#define MXDESERIALIZE_ARRAY_DECODER_H

#include <cstddef>
#include <string>
#include <vector>

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

class ArrayDecoder {
public:
    explicit ArrayDecoder(ByteView view) : v_(std::move(view)) {}

    // `e` is a miMATRIX element of the view; depth 0 is the top level. On
    // return `next` is where its last part ended (padded), which is where
    // the element after it begins.
    OwnedArray decode(const Element &e, int depth, size_t &next);

    // Warnings met on the way (values kept in a lesser form).
    const std::vector<std::string> &warnings() const { return warnings_; }

private:
    struct Header;  // flags, dimensions and where the class-specific part begins

    OwnedArray decode_parts(const Header &h, size_t &pos, size_t end, int depth);
    OwnedArray numeric(const Header &h, size_t &pos, size_t end);
    OwnedArray sparse(const Header &h, size_t &pos, size_t end, bool logical);
    OwnedArray text(const Header &h, size_t &pos, size_t end);
    OwnedArray cell(const Header &h, size_t &pos, size_t end, int depth);
    OwnedArray structure(const Header &h, size_t &pos, size_t end, int depth);

    ByteView v_;
    std::vector<std::string> warnings_;
};

}  // namespace mxd

#endif
