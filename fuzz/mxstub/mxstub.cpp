#include "mxstub.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct mxstub_array {
    mxClassID cls;
    bool complex = false;
    bool sparse = false;
    bool owned = false;  // held by a cell or struct
    std::vector<mwSize> dims;
    size_t numel = 0;
    size_t elsize = 0;
    void *re = nullptr;
    void *im = nullptr;
    mwIndex *ir = nullptr;
    mwIndex *jc = nullptr;
    mwSize nzmax = 0;
    std::vector<std::string> fields;
    std::vector<mxArray *> children;  // cells: numel; structs: numel * fields
};

namespace {

long live = 0;

[[noreturn]] void misuse(const char *what)
{
    std::fprintf(stderr, "mxstub: %s\n", what);
    std::abort();
}

void *storage(size_t n, size_t size, bool zeroed)
{
    if (size && n > SIZE_MAX / size) misuse("storage size overflows");
    // malloc(0) still gives a distinct block, so any write to it is caught.
    void *p = zeroed ? std::calloc(n ? n : 1, size ? size : 1) : std::malloc(n * size);
    if (!p && n * size != 0) misuse("out of memory");
    return p;
}

size_t class_size(mxClassID c)
{
    switch (c) {
    case mxLOGICAL_CLASS: case mxCHAR_CLASS: case mxINT8_CLASS: case mxUINT8_CLASS: return 1;
    case mxINT16_CLASS: case mxUINT16_CLASS: return 2;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    default: misuse("not a numeric, logical or char class");
    }
}

mxArray *shell(mxClassID cls, mwSize ndims, const mwSize *dims)
{
    if (ndims < 0 || (ndims > 0 && !dims)) misuse("bad dimensions");
    mxArray *a = new mxArray{};
    a->cls = cls;
    a->dims.assign(dims, dims + ndims);
    while (a->dims.size() < 2) a->dims.push_back(a->dims.empty() ? 0 : 1);
    size_t n = 1;
    for (mwSize d : a->dims) {
        if (d < 0) misuse("negative dimension");
        if (d && n > SIZE_MAX / static_cast<size_t>(d)) misuse("element count overflows");
        n *= static_cast<size_t>(d);
    }
    a->numel = n;
    ++live;
    return a;
}

mxArray *dense(mxClassID cls, mwSize ndims, const mwSize *dims, bool complex, bool zeroed)
{
    mxArray *a = shell(cls, ndims, dims);
    a->elsize = class_size(cls);
    a->complex = complex;
    a->re = storage(a->numel, a->elsize, zeroed);
    if (complex) a->im = storage(a->numel, a->elsize, zeroed);
    return a;
}

mxArray *sparse(mxClassID cls, mwSize m, mwSize n, mwSize nzmax, bool complex)
{
    if (m < 0 || n < 0) misuse("negative sparse dimension");
    if (nzmax < 1) nzmax = 1;
    mwSize dims[2] = {m, n};
    mxArray *a = shell(cls, 2, dims);
    a->sparse = true;
    a->complex = complex;
    a->elsize = class_size(cls);
    a->nzmax = nzmax;
    a->re = storage(static_cast<size_t>(nzmax), a->elsize, true);
    if (complex) a->im = storage(static_cast<size_t>(nzmax), a->elsize, true);
    a->ir = static_cast<mwIndex *>(storage(static_cast<size_t>(nzmax), sizeof(mwIndex), true));
    a->jc = static_cast<mwIndex *>(storage(static_cast<size_t>(n) + 1, sizeof(mwIndex), true));
    return a;
}

void adopt(mxArray *parent, size_t slot, mxArray *child)
{
    if (slot >= parent->children.size()) misuse("child index out of range");
    if (!child) {
        // Setting a slot to null takes its child out; the caller owns it now.
        if (parent->children[slot]) parent->children[slot]->owned = false;
        parent->children[slot] = nullptr;
        return;
    }
    if (child == parent) misuse("array set as its own child");
    if (child && child->owned) misuse("child already held by another container");
    if (parent->children[slot]) misuse("container slot filled twice (the old value would leak)");
    parent->children[slot] = child;
    if (child) child->owned = true;
}

void check(const mxArray *a)
{
    if (!a) misuse("null array");
}

}  // namespace

mxArray *mxCreateUninitNumericArray(mwSize ndims, const mwSize *dims, mxClassID cls, mxComplexity cx)
{
    if (cls < mxDOUBLE_CLASS || cls > mxUINT64_CLASS) misuse("numeric array of a non-numeric class");
    return dense(cls, ndims, dims, cx == mxCOMPLEX, false);
}

mxArray *mxCreateLogicalArray(mwSize ndims, const mwSize *dims)
{
    return dense(mxLOGICAL_CLASS, ndims, dims, false, true);
}

mxArray *mxCreateCharArray(mwSize ndims, const mwSize *dims)
{
    return dense(mxCHAR_CLASS, ndims, dims, false, true);
}

mxArray *mxCreateCellArray(mwSize ndims, const mwSize *dims)
{
    mxArray *a = shell(mxCELL_CLASS, ndims, dims);
    a->children.assign(a->numel, nullptr);
    return a;
}

mxArray *mxCreateStructArray(mwSize ndims, const mwSize *dims, int nfields, const char **names)
{
    if (nfields < 0 || (nfields > 0 && !names)) misuse("bad field list");
    mxArray *a = shell(mxSTRUCT_CLASS, ndims, dims);
    for (int f = 0; f < nfields; ++f) {
        if (!names[f] || !*names[f]) misuse("empty field name");
        for (const std::string &s : a->fields)
            if (s == names[f]) misuse("duplicate field name");
        a->fields.emplace_back(names[f]);
    }
    if (nfields && a->numel > SIZE_MAX / sizeof(mxArray *) / static_cast<size_t>(nfields))
        misuse("struct too large");
    a->children.assign(a->numel * static_cast<size_t>(nfields), nullptr);
    return a;
}

mxArray *mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity cx)
{
    return sparse(mxDOUBLE_CLASS, m, n, nzmax, cx == mxCOMPLEX);
}

mxArray *mxCreateSparseLogicalMatrix(mwSize m, mwSize n, mwSize nzmax)
{
    return sparse(mxLOGICAL_CLASS, m, n, nzmax, false);
}

void *mxGetData(const mxArray *a)
{
    check(a);
    return a->re;
}

void *mxGetImagData(const mxArray *a)
{
    check(a);
    return a->im;
}

mwIndex *mxGetIr(const mxArray *a)
{
    check(a);
    return a->ir;
}

mwIndex *mxGetJc(const mxArray *a)
{
    check(a);
    return a->jc;
}

void mxSetCell(mxArray *a, mwIndex i, mxArray *value)
{
    check(a);
    if (a->cls != mxCELL_CLASS) misuse("mxSetCell on a non-cell");
    if (i < 0) misuse("negative cell index");
    adopt(a, static_cast<size_t>(i), value);
}

void mxSetFieldByNumber(mxArray *a, mwIndex i, int field, mxArray *value)
{
    check(a);
    if (a->cls != mxSTRUCT_CLASS) misuse("mxSetFieldByNumber on a non-struct");
    if (i < 0 || static_cast<size_t>(i) >= a->numel || field < 0 ||
        static_cast<size_t>(field) >= a->fields.size())
        misuse("struct element or field out of range");
    adopt(a, static_cast<size_t>(i) * a->fields.size() + static_cast<size_t>(field), value);
}

void mxDestroyArray(mxArray *a)
{
    if (!a) return;
    for (mxArray *c : a->children) {
        if (!c) continue;
        c->owned = false;
        mxDestroyArray(c);
    }
    std::free(a->re);
    std::free(a->im);
    std::free(a->ir);
    std::free(a->jc);
    --live;
    delete a;
}

mxArray *mxDuplicateArray(const mxArray *a)
{
    check(a);
    mxArray *d = shell(a->cls, static_cast<mwSize>(a->dims.size()), a->dims.data());
    d->complex = a->complex;
    d->sparse = a->sparse;
    d->elsize = a->elsize;
    d->nzmax = a->nzmax;
    d->fields = a->fields;
    const size_t n = a->sparse ? static_cast<size_t>(a->nzmax) : a->numel;
    auto copy = [](const void *src, size_t count, size_t size) {
        void *p = storage(count, size, false);
        if (count * size) std::memcpy(p, src, count * size);
        return p;
    };
    if (a->re) d->re = copy(a->re, n, a->elsize);
    if (a->im) d->im = copy(a->im, n, a->elsize);
    if (a->ir) d->ir = static_cast<mwIndex *>(copy(a->ir, n, sizeof(mwIndex)));
    if (a->jc) d->jc = static_cast<mwIndex *>(copy(a->jc, static_cast<size_t>(a->dims[1]) + 1, sizeof(mwIndex)));
    d->children.assign(a->children.size(), nullptr);
    for (size_t i = 0; i < a->children.size(); ++i)
        if (a->children[i]) adopt(d, i, mxDuplicateArray(a->children[i]));
    return d;
}

mxClassID mxGetClassID(const mxArray *a) { check(a); return a->cls; }
bool mxIsSparse(const mxArray *a) { check(a); return a->sparse; }
bool mxIsComplex(const mxArray *a) { check(a); return a->complex; }
mwSize mxGetNumberOfDimensions(const mxArray *a) { check(a); return static_cast<mwSize>(a->dims.size()); }
const mwSize *mxGetDimensions(const mxArray *a) { check(a); return a->dims.data(); }
size_t mxGetNumberOfElements(const mxArray *a) { check(a); return a->numel; }
size_t mxGetElementSize(const mxArray *a) { check(a); return a->elsize; }
mwSize mxGetM(const mxArray *a) { check(a); return a->dims[0]; }
mwSize mxGetN(const mxArray *a)
{
    check(a);
    mwSize n = 1;
    for (size_t i = 1; i < a->dims.size(); ++i) n *= a->dims[i];
    return n;
}
mwSize mxGetNzmax(const mxArray *a) { check(a); return a->nzmax; }

mxArray *mxGetCell(const mxArray *a, mwIndex i)
{
    check(a);
    if (a->cls != mxCELL_CLASS || i < 0 || static_cast<size_t>(i) >= a->numel) misuse("bad mxGetCell");
    return a->children[static_cast<size_t>(i)];
}

int mxGetNumberOfFields(const mxArray *a)
{
    check(a);
    return static_cast<int>(a->fields.size());
}

const char *mxGetFieldNameByNumber(const mxArray *a, int field)
{
    check(a);
    if (field < 0 || static_cast<size_t>(field) >= a->fields.size()) misuse("bad field number");
    return a->fields[static_cast<size_t>(field)].c_str();
}

mxArray *mxGetFieldByNumber(const mxArray *a, mwIndex i, int field)
{
    check(a);
    if (a->cls != mxSTRUCT_CLASS || i < 0 || static_cast<size_t>(i) >= a->numel || field < 0 ||
        static_cast<size_t>(field) >= a->fields.size())
        misuse("bad mxGetFieldByNumber");
    return a->children[static_cast<size_t>(i) * a->fields.size() + static_cast<size_t>(field)];
}

long mxstub_live_arrays() { return live; }
