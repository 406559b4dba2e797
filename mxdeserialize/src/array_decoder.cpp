#include "array_decoder.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <set>

#include "numeric_convert.h"
#include "object_builder.h"
#include "stream_error.h"
#include "text_decode.h"

namespace mxd {
namespace {

constexpr uint32_t kFlagComplex = 0x08;
constexpr uint32_t kFlagLogical = 0x02;
constexpr uint32_t kFlagSparse = 0x10;  // set by recent MATLAB on every sparse array

// No host holds more elements than this; beyond it a product is taken as an
// overflow attempt even where no data bytes back the elements (zero-field
// structs, empty containers).  A sparse array's elements are its stored
// values, which the stream's bytes bound: its rows x columns may go beyond.
constexpr uint64_t kMaxElements = uint64_t(1) << 48;

const char *class_name(uint32_t c)
{
    static const char *const names[] = {
        "class 0", "cell", "struct", "object", "char", "sparse", "double", "single",
        "int8", "uint8", "int16", "uint16", "int32", "uint32", "int64", "uint64",
        "function handle", "opaque", "matrix.h object"};
    return c < sizeof names / sizeof names[0] ? names[c] : "unknown";
}

mxClassID mx_class(uint32_t c)
{
    switch (c) {
    case kDouble: return mxDOUBLE_CLASS;
    case kSingle: return mxSINGLE_CLASS;
    case kInt8: return mxINT8_CLASS;
    case kUint8: return mxUINT8_CLASS;
    case kInt16: return mxINT16_CLASS;
    case kUint16: return mxUINT16_CLASS;
    case kInt32: return mxINT32_CLASS;
    case kUint32: return mxUINT32_CLASS;
    case kInt64: return mxINT64_CLASS;
    default: return mxUINT64_CLASS;
    }
}

// Calls f with a null pointer of the element type of numeric class c.
template <typename F>
void with_element_type(uint32_t c, F &&f)
{
    switch (c) {
    case kDouble: f(static_cast<double *>(nullptr)); break;
    case kSingle: f(static_cast<float *>(nullptr)); break;
    case kInt8: f(static_cast<int8_t *>(nullptr)); break;
    case kUint8: f(static_cast<uint8_t *>(nullptr)); break;
    case kInt16: f(static_cast<int16_t *>(nullptr)); break;
    case kUint16: f(static_cast<uint16_t *>(nullptr)); break;
    case kInt32: f(static_cast<int32_t *>(nullptr)); break;
    case kUint32: f(static_cast<uint32_t *>(nullptr)); break;
    case kInt64: f(static_cast<int64_t *>(nullptr)); break;
    default: f(static_cast<uint64_t *>(nullptr)); break;
    }
}

bool mul_overflows(uint64_t a, uint64_t b, uint64_t limit)
{
    return b != 0 && a > limit / b;
}

// A string held in a miINT8 (or miUINT8/miUTF8) element, up to its first NUL.
std::string element_string(const ByteView &v, const Element &e)
{
    const char *p = reinterpret_cast<const char *>(v.data + e.data_offset);
    return std::string(p, strnlen(p, e.count));
}

}  // namespace

MatrixHeader read_matrix_header(const ByteView &v, const Element &e, size_t &pos)
{
    pos = e.data_offset;
    const size_t end = e.data_offset + e.count;
    MatrixHeader h{e.tag_offset, 0, 0, {}, 0, false, 0, {}, {}};
    Element flags = read_element(v, pos, end);
    if (flags.type != miUINT32 || flags.count != 8)
        fail_at(flags.tag_offset, v.where, "array flags must be 8 bytes of miUINT32, found " +
                                               std::to_string(flags.count) + " bytes of " +
                                               data_type_name(flags.type));
    uint32_t word = v.u32(flags.data_offset);
    h.cls = word & 0xFF;
    h.flags = (word >> 8) & 0xFF;

    if (h.cls == kOpaque) {
        // No dimensions: the name, then the type system and the class name.
        std::string *texts[] = {nullptr, &h.type_system, &h.class_name};
        for (std::string *t : texts) {
            if (pos >= end) fail_at(pos, v.where, "truncated: opaque array has no type system or class name");
            Element s = read_element(v, pos, end);
            if (s.type != miINT8)
                fail_at(s.tag_offset, v.where, std::string("opaque array names must be miINT8, found ") +
                                                   data_type_name(s.type));
            if (t) *t = element_string(v, s);
        }
        h.dims = {1, 1};
        h.numel = 1;
        return h;
    }
    if (h.cls == kMatrixObject)
        fail_unsupported(h.offset, v.where, "cannot rebuild a matrix.h object (class 18)");
    if (h.cls < kCell || h.cls > kFunction)
        fail_at(h.offset, v.where, "unknown array class " + std::to_string(h.cls));

    if (pos >= end) fail_at(pos, v.where, "truncated: array has no dimensions");
    Element dims = read_element(v, pos, end);
    if (dims.type != miINT32 || dims.count % 4 != 0 || dims.count < 8)
        fail_at(dims.tag_offset, v.where, "dimensions must be at least two miINT32 values, found " +
                                              std::to_string(dims.count) + " bytes of " +
                                              data_type_name(dims.type));
    h.dims.resize(dims.count / 4);
    h.dims_offset = dims.tag_offset;
    h.numel = 1;
    for (size_t i = 0; i < h.dims.size(); ++i) {
        int32_t d = static_cast<int32_t>(v.u32(dims.data_offset + 4 * i));
        if (d < 0)
            fail_at(dims.data_offset + 4 * i, v.where, "negative dimension " + std::to_string(d));
        h.dims[i] = d;
        if (h.too_many) continue;
        if (mul_overflows(h.numel, static_cast<uint64_t>(d), kMaxElements)) {
            h.too_many = true;
            h.numel = 0;
        } else {
            h.numel *= static_cast<uint64_t>(d);
        }
    }

    if (pos >= end) fail_at(pos, v.where, "truncated: array has no name");
    Element name = read_element(v, pos, end);
    if (name.type != miINT8)
        fail_at(name.tag_offset, v.where, std::string("array name must be miINT8, found ") +
                                              data_type_name(name.type));
    return h;
}

OwnedArray ArrayDecoder::decode(const Element &e, int depth, size_t &next)
{
    if (depth > kMaxDepth)
        fail_at(e.tag_offset, v_.where, "values nested deeper than " + std::to_string(kMaxDepth));
    size_t pos = e.data_offset;
    size_t end = e.data_offset + e.count;
    next = end;

    if (e.count == 0 && e.clamped) fail_at(e.tag_offset, v_.where, "truncated: matrix has no parts");
    if (e.count == 0) {
        // Some writers store an empty value as a bare miMATRIX tag.
        Header h{e.tag_offset, kDouble, 0, {0, 0}, 0, false, 0, {}, {}};
        return numeric(h, pos, end);
    }

    Header h = read_matrix_header(v_, e, pos);
    OwnedArray a = h.cls == kOpaque     ? opaque(h, pos, end, depth)
                   : h.cls == kFunction ? function_handle(h, pos, end, depth)
                                        : decode_parts(h, pos, end, depth);
    next = pos;
    return a;
}

OwnedArray ArrayDecoder::opaque(const Header &h, size_t &pos, size_t end, int depth)
{
    // Only MCOS objects can be rebuilt; the others need a Java VM or a COM
    // server, whatever the subsystem holds.
    if (h.type_system != "MCOS")
        fail_unsupported(h.offset, v_.where,
                         "cannot rebuild a " + (h.type_system.empty() ? std::string("opaque") : h.type_system) +
                             " object of class '" + h.class_name + "'");
    if (pos >= end) fail_at(pos, v_.where, "truncated: opaque array has no content");
    Element content = read_element(v_, pos, end);
    if (content.type != miMATRIX)
        fail_at(content.tag_offset, v_.where, std::string("opaque content is ") + data_type_name(content.type) +
                                                  ", not miMATRIX");
    if (pos < end) fail_at(pos, v_.where, "bytes after an opaque array's content");
    ArrayDecoder raw(v_, ctx_, kRaw);
    size_t next = 0;
    OwnedArray inner = raw.decode(content, depth + 1, next);
    if (mode_ == kRaw) return inner;
    if (!ctx_.objects) fail_at(h.offset, v_.where, "an object where none can be rebuilt");
    return ctx_.objects->opaque(std::move(inner), h.class_name, Where{content.tag_offset, v_.where}, depth + 1);
}

OwnedArray ArrayDecoder::function_handle(const Header &h, size_t &pos, size_t end, int depth)
{
    if (pos >= end) fail_at(pos, v_.where, "truncated: function handle has no content");
    Element content = read_element(v_, pos, end);
    if (content.type != miMATRIX)
        fail_at(content.tag_offset, v_.where, std::string("function handle content is ") +
                                                  data_type_name(content.type) + ", not miMATRIX");
    ArrayDecoder raw(v_, ctx_, kRaw);
    size_t next = 0;
    OwnedArray inner = raw.decode(content, depth + 1, next);
    if (!ctx_.objects) fail_at(h.offset, v_.where, "a function handle where none can be rebuilt");
    return ctx_.objects->function_handle(inner.get(), Where{content.tag_offset, v_.where}, depth + 1);
}

OwnedArray ArrayDecoder::decode_parts(const Header &h, size_t &pos, size_t end, int depth)
{
    // Sparse single arrives as class 7 with the sparse bit; a logical sparse
    // from some writers is class 9 with the logical flag and the three sparse
    // parts, which tells it from a dense logical (one part).
    if (h.cls == kSparse) return sparse(h, pos, end, (h.flags & kFlagLogical) != 0);
    bool logical = h.cls == kUint8 && (h.flags & kFlagLogical);
    if ((h.flags & kFlagSparse) && (h.cls == kDouble || h.cls == kSingle || logical))
        return sparse(h, pos, end, logical);
    if (logical) {
        size_t probe = pos;
        int parts = 0;
        while (probe < end && parts < 3) {
            read_element(v_, probe, end);
            ++parts;
        }
        if (parts == 3) return sparse(h, pos, end, true);
    }
    if (h.too_many) fail_at(h.dims_offset, v_.where, "the dimensions' product is too large");
    switch (h.cls) {
    case kCell: return cell(h, pos, end, depth);
    case kStruct: return structure(h, pos, end, depth);
    case kObject: {
        if (pos >= end) fail_at(pos, v_.where, "truncated: object has no class name");
        std::string cname = element_string(v_, read_element(v_, pos, end));
        OwnedArray a = structure(h, pos, end, depth);
        ctx_.warn("bytes2value:objectAsStruct", cname, [&] {
            return "value of old-style class '" + cname + "' returned as a struct of its fields";
        });
        return a;
    }
    case kChar: return text(h, pos, end);
    default: return numeric(h, pos, end);
    }
}

OwnedArray ArrayDecoder::numeric(const Header &h, size_t &pos, size_t end)
{
    bool logical = h.cls == kUint8 && (h.flags & kFlagLogical);
    bool complex = (h.flags & kFlagComplex) != 0;
    if (complex && logical) fail_at(h.offset, v_.where, "a logical array cannot be complex");
    if (complex && h.cls != kDouble && h.cls != kSingle)
        fail_unsupported(h.offset, v_.where, std::string("complex ") + class_name(h.cls) +
                                                 " arrays are not supported by this host");

    Element parts[2]{};
    for (int k = 0; k < (complex ? 2 : 1); ++k) {
        if (pos >= end) {
            if (h.numel == 0) {
                parts[k] = Element{miDOUBLE, pos, pos, 0, false};
                continue;
            }
            fail_at(pos, v_.where, std::string("truncated: no ") + (k ? "imaginary" : "real") +
                                       " part for " + std::to_string(h.numel) + " elements");
        }
        Element e = read_element(v_, pos, end);
        size_t size = numeric_type_size(e.type);
        if (size == 0)
            fail_at(e.tag_offset, v_.where, std::string("numeric data stored as ") + data_type_name(e.type));
        if (e.count % size != 0 || e.count / size != h.numel)
            fail_at(e.tag_offset, v_.where, std::to_string(e.count) + " bytes of " + data_type_name(e.type) +
                                                " do not hold the " + std::to_string(h.numel) +
                                                " elements of the dimensions");
        parts[k] = e;
    }

    const mwSize ndims = static_cast<mwSize>(h.dims.size());
    size_t n = static_cast<size_t>(h.numel);
    if (logical) {
        OwnedArray a = host_new([&] { return mxCreateLogicalArray(ndims, h.dims.data()); });
        convert_truth(static_cast<uint8_t *>(mxGetData(a.get())), parts[0].type,
                      v_.data + parts[0].data_offset, n, v_.swap);
        return a;
    }
    // Uninitialised: every element is written below, once.
    OwnedArray a = host_new([&] {
        return mxCreateUninitNumericArray(ndims, const_cast<mwSize *>(h.dims.data()), mx_class(h.cls),
                                          complex ? mxCOMPLEX : mxREAL);
    });
    with_element_type(h.cls, [&](auto *tag) {
        using T = std::remove_pointer_t<decltype(tag)>;
        convert_numeric(static_cast<T *>(mxGetData(a.get())), parts[0].type,
                        v_.data + parts[0].data_offset, n, v_.swap);
        if (complex)
            convert_numeric(static_cast<T *>(mxGetImagData(a.get())), parts[1].type,
                            v_.data + parts[1].data_offset, n, v_.swap);
    });
    return a;
}

OwnedArray ArrayDecoder::sparse(const Header &h, size_t &pos, size_t end, bool logical)
{
    bool complex = (h.flags & kFlagComplex) != 0;
    if (complex && logical) fail_at(h.offset, v_.where, "a logical sparse array cannot be complex");
    if (h.dims.size() != 2)
        fail_at(h.offset, v_.where, "sparse array with " + std::to_string(h.dims.size()) + " dimensions");
    const uint64_t rows = h.dims[0], cols = h.dims[1];

    Element ir = read_element(v_, pos, end);
    if (ir.type != miINT32 || ir.count % 4 != 0)
        fail_at(ir.tag_offset, v_.where, "sparse row indices must be miINT32");
    if (pos >= end) fail_at(pos, v_.where, "truncated: sparse array has no column starts");
    Element jc = read_element(v_, pos, end);
    if (jc.type != miINT32 || jc.count % 4 != 0 || jc.count / 4 != cols + 1)
        fail_at(jc.tag_offset, v_.where, "sparse column starts must be " + std::to_string(cols + 1) +
                                             " miINT32 values, found " + std::to_string(jc.count) +
                                             " bytes of " + data_type_name(jc.type));

    // Column starts: from 0, never falling, ending at the number of values.
    int32_t prev = 0;
    for (uint64_t c = 0; c <= cols; ++c) {
        int32_t s = static_cast<int32_t>(v_.u32(jc.data_offset + 4 * c));
        if ((c == 0 && s != 0) || s < prev)
            fail_at(jc.data_offset + 4 * c, v_.where, "sparse column starts out of order");
        prev = s;
    }
    const size_t nnz = static_cast<size_t>(prev);
    if (nnz > ir.count / 4)
        fail_at(ir.tag_offset, v_.where, std::to_string(nnz) + " stored values but only " +
                                             std::to_string(ir.count / 4) + " row indices");
    // Rows: inside the matrix and strictly rising within each column.
    for (uint64_t c = 0; c < cols; ++c) {
        size_t a = v_.u32(jc.data_offset + 4 * c), b = v_.u32(jc.data_offset + 4 * (c + 1));
        int64_t last = -1;
        for (size_t k = a; k < b; ++k) {
            int64_t r = static_cast<int32_t>(v_.u32(ir.data_offset + 4 * k));
            if (r <= last || static_cast<uint64_t>(r) >= rows)
                fail_at(ir.data_offset + 4 * k, v_.where, "sparse row index " + std::to_string(r) +
                                                              " out of order or outside " +
                                                              std::to_string(rows) + " rows");
            last = r;
        }
    }

    Element parts[2]{};
    for (int k = 0; k < (complex ? 2 : 1); ++k) {
        if (pos >= end) {
            if (nnz == 0) {
                parts[k] = Element{miDOUBLE, pos, pos, 0, false};
                continue;
            }
            fail_at(pos, v_.where, "truncated: sparse array has no values");
        }
        Element e = read_element(v_, pos, end);
        // Older MATLAB releases tag a logical sparse array's values miDOUBLE
        // but write one byte per value, each 0 or 1; that form alone is
        // read as the bytes it is.
        if (logical && e.type == miDOUBLE && nnz != 0 && e.count == nnz) {
            const uint8_t *b = v_.data + e.data_offset;
            for (size_t i = 0; i < nnz; ++i)
                if (b[i] > 1)
                    fail_at(e.data_offset + i, v_.where, "logical sparse value byte " + std::to_string(b[i]) +
                                                             " is neither 0 nor 1");
            e.type = miUINT8;
        }
        size_t size = numeric_type_size(e.type);
        if (size == 0 || e.count % size != 0 || e.count / size < nnz)
            fail_at(e.tag_offset, v_.where, std::to_string(e.count) + " bytes of " + data_type_name(e.type) +
                                                " do not hold " + std::to_string(nnz) + " sparse values");
        parts[k] = e;
    }

    mwSize nzmax = nnz ? static_cast<mwSize>(nnz) : 1;
    OwnedArray a = host_new([&] {
        return logical ? mxCreateSparseLogicalMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols), nzmax)
                       : mxCreateSparse(static_cast<mwSize>(rows), static_cast<mwSize>(cols), nzmax,
                                        complex ? mxCOMPLEX : mxREAL);
    });
    mwIndex *air = mxGetIr(a.get());
    mwIndex *ajc = mxGetJc(a.get());
    for (size_t k = 0; k < nnz; ++k) air[k] = static_cast<int32_t>(v_.u32(ir.data_offset + 4 * k));
    for (uint64_t c = 0; c <= cols; ++c) ajc[c] = static_cast<int32_t>(v_.u32(jc.data_offset + 4 * c));
    if (logical) {
        convert_truth(static_cast<uint8_t *>(mxGetData(a.get())), parts[0].type,
                      v_.data + parts[0].data_offset, nnz, v_.swap);
    } else {
        convert_numeric(static_cast<double *>(mxGetData(a.get())), parts[0].type,
                        v_.data + parts[0].data_offset, nnz, v_.swap);
        if (complex)
            convert_numeric(static_cast<double *>(mxGetImagData(a.get())), parts[1].type,
                            v_.data + parts[1].data_offset, nnz, v_.swap);
    }
    return a;
}

OwnedArray ArrayDecoder::text(const Header &h, size_t &pos, size_t end)
{
    std::u16string units;
    if (pos < end) {
        Element e = read_element(v_, pos, end);
        units = decode_char_units(v_, e);
        if (units.size() != h.numel)
            fail_at(e.tag_offset, v_.where, "char data holds " + std::to_string(units.size()) +
                                                " UTF-16 units for " + std::to_string(h.numel) + " elements");
    } else if (h.numel != 0) {
        fail_at(pos, v_.where, "truncated: no char data for " + std::to_string(h.numel) + " elements");
    }

    if constexpr (sizeof(mxChar) == 2) {
        OwnedArray a = host_new([&] { return mxCreateCharArray(static_cast<mwSize>(h.dims.size()), h.dims.data()); });
        std::memcpy(mxGetData(a.get()), units.data(), units.size() * 2);
        return a;
    } else {
        bool ascii = true;
        for (char16_t u : units) ascii = ascii && u < 0x80;
        if (ascii) {
            OwnedArray a =
                host_new([&] { return mxCreateCharArray(static_cast<mwSize>(h.dims.size()), h.dims.data()); });
            char *dst = static_cast<char *>(mxGetData(a.get()));
            for (size_t i = 0; i < units.size(); ++i) dst[i] = static_cast<char>(units[i]);
            return a;
        }
        // 8-bit chars hold UTF-8: the width grows with the text. Every row
        // of every page is padded to the widest row, so an N-d array keeps
        // its other dimensions.
        const size_t r0 = static_cast<size_t>(h.dims[0]), c0 = static_cast<size_t>(h.dims[1]);
        const size_t pages = r0 && c0 ? units.size() / (r0 * c0) : 0;
        std::u16string rows(units.size(), u' ');
        for (size_t p = 0; p < pages; ++p)
            for (size_t c = 0; c < c0; ++c)
                for (size_t r = 0; r < r0; ++r) rows[r + p * r0 + c * r0 * pages] = units[r + c * r0 + p * r0 * c0];
        size_t width = 0;
        std::string bytes = utf8_char_matrix(rows, r0 * pages, width);
        std::vector<mwSize> dims = h.dims;
        dims[1] = static_cast<mwSize>(width);
        OwnedArray a = host_new([&] { return mxCreateCharArray(static_cast<mwSize>(dims.size()), dims.data()); });
        char *dst = static_cast<char *>(mxGetData(a.get()));
        for (size_t p = 0; p < pages; ++p)
            for (size_t c = 0; c < width; ++c)
                for (size_t r = 0; r < r0; ++r) dst[r + c * r0 + p * r0 * width] = bytes[r + p * r0 + c * r0 * pages];
        return a;
    }
}

OwnedArray ArrayDecoder::cell(const Header &h, size_t &pos, size_t end, int depth)
{
    // Each element needs at least an 8-byte tag: refuse before allocating.
    if (h.numel > (end - pos) / 8)
        fail_at(h.offset, v_.where, "cell of " + std::to_string(h.numel) + " elements in " +
                                        std::to_string(end - pos) + " bytes");
    OwnedArray a = host_new([&] { return mxCreateCellArray(static_cast<mwSize>(h.dims.size()), h.dims.data()); });
    for (uint64_t i = 0; i < h.numel; ++i) {
        Element e = read_element(v_, pos, end);
        if (e.type != miMATRIX)
            fail_at(e.tag_offset, v_.where, std::string("cell element is ") + data_type_name(e.type) +
                                                ", not miMATRIX");
        OwnedArray child = decode(e, depth + 1, pos);
        mxSetCell(a.get(), static_cast<mwIndex>(i), child.release());
    }
    return a;
}

OwnedArray ArrayDecoder::structure(const Header &h, size_t &pos, size_t end, int depth)
{
    if (pos >= end) fail_at(pos, v_.where, "truncated: struct has no field-name length");
    Element len = read_element(v_, pos, end);
    if (len.type != miINT32 || len.count != 4)
        fail_at(len.tag_offset, v_.where, "field-name length must be one miINT32");
    int32_t slot = static_cast<int32_t>(v_.u32(len.data_offset));
    if (pos >= end) fail_at(pos, v_.where, "truncated: struct has no field names");
    Element names = read_element(v_, pos, end);
    if (names.type != miINT8 && names.type != miUINT8)
        fail_at(names.tag_offset, v_.where, "field names must be miINT8");
    if (slot < 0 || (slot == 0 && names.count != 0) || (slot > 0 && names.count % slot != 0))
        fail_at(len.tag_offset, v_.where, "field-name length " + std::to_string(slot) +
                                              " does not divide the " + std::to_string(names.count) +
                                              " bytes of names");
    size_t nfields = slot ? names.count / slot : 0;
    if (nfields > INT32_MAX)
        fail_at(names.tag_offset, v_.where, std::to_string(nfields) + " field names");

    std::vector<std::string> fields(nfields);
    std::set<std::string> seen;
    for (size_t f = 0; f < nfields; ++f) {
        size_t at = names.data_offset + f * slot;
        const char *p = reinterpret_cast<const char *>(v_.data + at);
        fields[f].assign(p, strnlen(p, static_cast<size_t>(slot)));
        if (fields[f].empty()) fail_at(at, v_.where, "empty field name");
        if (!seen.insert(fields[f]).second)
            fail_at(at, v_.where, "field name '" + fields[f] + "' given twice");
    }
    if (mul_overflows(h.numel, nfields, kMaxElements) || h.numel * nfields > (end - pos) / 8)
        fail_at(h.offset, v_.where, "struct of " + std::to_string(h.numel) + " elements and " +
                                        std::to_string(nfields) + " fields in " +
                                        std::to_string(end - pos) + " bytes");

    std::vector<const char *> fnames(nfields);
    for (size_t f = 0; f < nfields; ++f) fnames[f] = fields[f].c_str();
    OwnedArray a = host_new([&] {
        return mxCreateStructArray(static_cast<mwSize>(h.dims.size()), h.dims.data(), static_cast<int>(nfields),
                                   fnames.data());
    });
    // One pass per value, not per element: a struct without fields may have
    // up to kMaxElements elements and no values at all.
    const uint64_t values = h.numel * nfields;
    for (uint64_t k = 0; k < values; ++k) {
        const uint64_t i = k / nfields;
        const size_t f = static_cast<size_t>(k % nfields);
        Element e = read_element(v_, pos, end);
        if (e.type != miMATRIX)
            fail_at(e.tag_offset, v_.where, std::string("struct field value is ") +
                                                data_type_name(e.type) + ", not miMATRIX");
        OwnedArray child = decode(e, depth + 1, pos);
        mxSetFieldByNumber(a.get(), static_cast<mwIndex>(i), static_cast<int>(f), child.release());
    }
    return a;
}

}  // namespace mxd
