#include "array_encoder.h"

#include <algorithm>
#include <cstring>

#include "char_encoding.h"
#include "mxserialize/mxserialize.h"
#include "serialize_error.h"

namespace mxs {
namespace {

// Array classes as the stream numbers them (not mxClassID).
enum StreamClass : uint32_t {
    kCell = 1, kStruct = 2, kObject = 3, kChar = 4, kSparse = 5
};

constexpr uint32_t kFlagComplex = 0x08;
constexpr uint32_t kFlagLogical = 0x02;
constexpr uint32_t kFlagSparse = 0x10;  // MATLAB sets it on every sparse array

constexpr uint64_t kMaxDimension = 0x7FFFFFFF;
constexpr uint64_t kMaxSparseValues = 0x7FFFFFFF;  // column starts are int32

struct NumericClass {
    uint32_t stream_class;
    uint32_t data_type;  // always the class's own type, never a narrower one
};

bool numeric_class(mxClassID id, NumericClass &c)
{
    switch (id) {
    case mxDOUBLE_CLASS: c = {6, miDOUBLE}; return true;
    case mxSINGLE_CLASS: c = {7, miSINGLE}; return true;
    case mxINT8_CLASS: c = {8, miINT8}; return true;
    case mxUINT8_CLASS: c = {9, miUINT8}; return true;
    case mxINT16_CLASS: c = {10, miINT16}; return true;
    case mxUINT16_CLASS: c = {11, miUINT16}; return true;
    case mxINT32_CLASS: c = {12, miINT32}; return true;
    case mxUINT32_CLASS: c = {13, miUINT32}; return true;
    case mxINT64_CLASS: c = {14, miINT64}; return true;
    case mxUINT64_CLASS: c = {15, miUINT64}; return true;
    default: return false;
    }
}

std::vector<uint64_t> dims_of(const mxArray *a)
{
    size_t n = static_cast<size_t>(mxGetNumberOfDimensions(a));
    const mwSize *d = mxGetDimensions(a);
    // MATLAB has no trailing singleton dimensions beyond the second; Octave
    // keeps them on some empty struct arrays.
    while (n > 2 && d[n - 1] == 1) --n;
    return std::vector<uint64_t>(d, d + n);
}

uint64_t product(const std::vector<uint64_t> &dims)
{
    uint64_t n = 1;
    for (uint64_t d : dims) n *= d;
    return n;
}

}  // namespace

std::string ArrayEncoder::where() const
{
    if (path_.empty()) return "";
    std::string s = " (at value";
    for (const Step &st : path_) {
        if (st.field < 0) {
            s += "{" + std::to_string(st.index + 1) + "}";
        } else {
            if (mxGetNumberOfElements(st.container) != 1) s += "(" + std::to_string(st.index + 1) + ")";
            s += std::string(".") + mxGetFieldNameByNumber(st.container, st.field);
        }
    }
    return s + ")";
}

void ArrayEncoder::check_dims(const std::vector<uint64_t> &dims) const
{
    for (size_t k = 0; k < dims.size(); ++k)
        if (dims[k] > kMaxDimension)
            fail(kTooLarge, "dimension " + std::to_string(k + 1) + " of the value" + where() + " is " +
                                std::to_string(dims[k]) + "; the stream holds at most 2147483647");
}

void ArrayEncoder::unsupported(const char *cls)
{
    fail(kUnsupportedClass, std::string("a value of class '") + cls + "'" + where() +
                                " cannot be written without MATLAB's object system");
}

void ArrayEncoder::encode(const mxArray *a, int depth)
{
    if (depth > kMaxDepth)
        fail(kTooDeep, "values nested deeper than " + std::to_string(kMaxDepth) + " levels" + where());
    if (w_.counting()) {
        size_t index = plan_.matrix_bytes.size();
        plan_.matrix_bytes.push_back(0);
        w_.tag(miMATRIX, 0, "");
        uint64_t start = w_.pos();
        if (a) matrix_body(a, depth);
        uint64_t bytes = w_.pos() - start;
        if (bytes > kMaxElementBytes)
            fail(kTooLarge, "the value" + where() + " would take " + std::to_string(bytes) +
                                " bytes; a stream element holds at most 4294967295");
        plan_.matrix_bytes[index] = bytes;
    } else {
        w_.tag(miMATRIX, plan_.matrix_bytes[next_matrix_++], "");
        if (a) matrix_body(a, depth);
    }
}

void ArrayEncoder::matrix_body(const mxArray *a, int depth)
{
    mxClassID id = mxGetClassID(a);
    if (id == mxFUNCTION_CLASS) unsupported("function_handle");
    bool known = id == mxCELL_CLASS || id == mxSTRUCT_CLASS || id == mxCHAR_CLASS ||
                 id == mxLOGICAL_CLASS;
    NumericClass nc{};
    if (!known && !numeric_class(id, nc)) {
        object(a, depth);
        return;
    }
    std::vector<uint64_t> dims = dims_of(a);
    check_dims(dims);

    switch (id) {
    case mxCELL_CLASS: cell(a, dims, depth); return;
    case mxSTRUCT_CLASS:
        header(kStruct, 0, 0, dims);
        structure(a, product(dims), depth);
        return;
    case mxCHAR_CLASS: text(a, dims); return;
    case mxLOGICAL_CLASS:
        if (mxIsSparse(a)) {
            sparse(a, true, dims);
        } else {
            header(9, kFlagLogical, 0, dims);
            const mxLogical *p = static_cast<const mxLogical *>(mxGetData(a));
            if (sizeof(mxLogical) == 1)
                w_.element(miUINT8, p, product(dims), "logical data");
            else
                w_.element_of<uint8_t>(miUINT8, product(dims), [p](uint64_t k) { return p[k] ? 1 : 0; },
                                       "logical data");
        }
        return;
    default:
        if (mxIsSparse(a))
            sparse(a, false, dims);
        else
            numeric(a, id, dims);
        return;
    }
}

void ArrayEncoder::header(uint32_t cls, uint32_t flags, uint32_t nzmax, const std::vector<uint64_t> &dims)
{
    const uint32_t words[2] = {cls | flags << 8, nzmax};
    w_.element(miUINT32, words, sizeof words, "array flags");
    w_.element_of<int32_t>(miINT32, dims.size(), [&](uint64_t k) { return static_cast<int32_t>(dims[k]); },
                           "dimensions");
    w_.tag(miINT8, 0, "array name");
}

void ArrayEncoder::numeric(const mxArray *a, mxClassID id, const std::vector<uint64_t> &dims)
{
    NumericClass nc{};
    numeric_class(id, nc);
    bool complex = mxIsComplex(a);
    header(nc.stream_class, complex ? kFlagComplex : 0, 0, dims);
    uint64_t bytes = product(dims) * mxGetElementSize(a);
    if (id == mxDOUBLE_CLASS && bytes == 8 && !complex) {
        // Octave's mxGetData copies a scalar into new memory; this doesn't.
        const double v = w_.counting() ? 0 : mxGetScalar(a);
        w_.element(miDOUBLE, &v, 8, "numeric data");
        return;
    }
    w_.element(nc.data_type, w_.counting() ? nullptr : mxGetData(a), bytes, "numeric data");
    if (complex)
        w_.element(nc.data_type, w_.counting() ? nullptr : mxGetImagData(a), bytes, "imaginary data");
}

void ArrayEncoder::sparse(const mxArray *a, bool logical, const std::vector<uint64_t> &dims)
{
    const uint64_t cols = dims[1];
    const mwIndex *ir = mxGetIr(a);
    const mwIndex *jc = mxGetJc(a);
    const uint64_t nnz = jc[cols];
    if (nnz > kMaxSparseValues)
        fail(kTooLarge, "the sparse value" + where() + " has " + std::to_string(nnz) +
                            " non-zeros; the stream holds at most 2147483647");
    bool complex = !logical && mxIsComplex(a);
    // nzmax as MATLAB holds it after building: the non-zeros, at least 1.
    uint32_t nzmax = nnz ? static_cast<uint32_t>(nnz) : 1;
    header(kSparse, kFlagSparse | (logical ? kFlagLogical : 0) | (complex ? kFlagComplex : 0), nzmax, dims);
    w_.element_of<int32_t>(miINT32, nnz, [ir](uint64_t k) { return static_cast<int32_t>(ir[k]); },
                           "sparse row indices");
    w_.element_of<int32_t>(miINT32, cols + 1, [jc](uint64_t k) { return static_cast<int32_t>(jc[k]); },
                           "sparse column starts");
    if (logical) {
        const mxLogical *p = static_cast<const mxLogical *>(mxGetData(a));
        w_.element_of<uint8_t>(miUINT8, nnz, [p](uint64_t k) { return p[k] ? 1 : 0; }, "sparse values");
        return;
    }
    w_.element(miDOUBLE, w_.counting() ? nullptr : mxGetData(a), nnz * 8, "sparse values");
    if (complex) w_.element(miDOUBLE, w_.counting() ? nullptr : mxGetImagData(a), nnz * 8, "sparse imaginary values");
}

void ArrayEncoder::text(const mxArray *a, std::vector<uint64_t> dims)
{
    const uint64_t numel = product(dims);
    if constexpr (sizeof(mxChar) == 2) {
        // 16-bit chars are MATLAB's own units already.
        const char16_t *p = static_cast<const char16_t *>(mxGetData(a));
        bool ascii = true;
        for (uint64_t k = 0; k < numel && ascii; ++k) ascii = p[k] < 0x80;
        header(kChar, 0, 0, dims);
        if (ascii)
            w_.element_of<uint8_t>(miUTF8, numel, [p](uint64_t k) { return static_cast<uint8_t>(p[k]); }, "char data");
        else
            w_.element(miUTF16, p, numel * 2, "char data");
    } else {
        const char *p = static_cast<const char *>(mxGetData(a));
        if (all_ascii(p, static_cast<size_t>(numel))) {
            header(kChar, 0, 0, dims);
            w_.element(miUTF8, p, numel, "char data");
            return;
        }
        // Byte chars beyond ASCII hold UTF-8: MATLAB's array is as wide as
        // the longest line in UTF-16 units.
        if (w_.counting()) {
            std::vector<uint64_t> d = dims;
            plan_.texts.push_back(utf16_char_matrix(p, d));
        }
        const std::u16string &units = plan_.texts[w_.counting() ? plan_.texts.size() - 1 : next_text_++];
        dims[1] = units.size() / (numel / dims[1]);  // lines times the widest line
        if (dims[1] > kMaxDimension)
            fail(kTooLarge, "the char value" + where() + " is " + std::to_string(dims[1]) +
                                " UTF-16 units wide; the stream holds at most 2147483647");
        header(kChar, 0, 0, dims);
        w_.element(miUTF16, units.data(), units.size() * 2, "char data");
    }
}

void ArrayEncoder::cell(const mxArray *a, const std::vector<uint64_t> &dims, int depth)
{
    header(kCell, 0, 0, dims);
    const uint64_t n = product(dims);
    path_.push_back({a, 0, -1});
    for (uint64_t i = 0; i < n; ++i) {
        path_.back().index = i;
        encode(mxGetCell(a, static_cast<mwIndex>(i)), depth + 1);
    }
    path_.pop_back();
}

void ArrayEncoder::structure(const mxArray *a, uint64_t numel, int depth)
{
    const int nfields = mxGetNumberOfFields(a);
    size_t longest = 0;
    for (int f = 0; f < nfields; ++f) longest = std::max(longest, std::strlen(mxGetFieldNameByNumber(a, f)));
    // Longest name plus its NUL, but never so short that the names would
    // fit the small form; with no fields, 1.
    uint64_t slot = nfields ? std::max<uint64_t>(longest + 1, 4 / nfields + 1) : 1;
    const int32_t slot32 = static_cast<int32_t>(slot);
    w_.element(miINT32, &slot32, 4, "field-name length");
    w_.tag(miINT8, slot * nfields, "field names");
    for (int f = 0; f < nfields; ++f) {
        const char *name = mxGetFieldNameByNumber(a, f);
        size_t len = std::strlen(name);
        w_.raw(name, len);
        w_.zeros(static_cast<size_t>(slot - len));
    }
    w_.pad();

    if (nfields == 0) return;
    path_.push_back({a, 0, 0});
    for (uint64_t i = 0; i < numel; ++i)
        for (int f = 0; f < nfields; ++f) {
            path_.back().index = i;
            path_.back().field = f;
            encode(mxGetFieldByNumber(a, static_cast<mwIndex>(i), f), depth + 1);
        }
    path_.pop_back();
}

void ArrayEncoder::object(const mxArray *a, int depth)
{
    const char *cls = mxGetClassName(a);
    const mxArray *fields;
    if (w_.counting()) {
        OwnedArray s(mxserialize_object_fields(a));
        if (!s || mxGetClassID(s.get()) != mxSTRUCT_CLASS) unsupported(cls);
        fields = s.get();
        plan_.objects.push_back(std::move(s));
    } else {
        fields = plan_.objects[next_object_++].get();
    }
    std::vector<uint64_t> dims = dims_of(fields);
    check_dims(dims);
    header(kObject, 0, 0, dims);
    w_.element(miINT8, cls, std::strlen(cls), "class name");
    structure(fields, product(dims), depth);
}

}  // namespace mxs
