// An in-process stand-in for the part of the mx API the decoder uses, with
// Octave's types (8-bit mxChar, 64-bit mwSize). Every array owns real storage
// of exactly the size asked for, and containers own their children, so the
// sanitizers see out-of-bounds writes, leaks and double frees as they happen.
// Misuse that a real host would turn into corruption (an index out of range,
// a child given to two parents, a slot filled twice) aborts at once.
#ifndef MXSTUB_H
#define MXSTUB_H

#include <cstddef>
#include <cstdint>

typedef struct mxstub_array mxArray;

typedef enum {
    mxUNKNOWN_CLASS = 0, mxCELL_CLASS, mxSTRUCT_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,
    mxVOID_CLASS, mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS, mxUINT8_CLASS,
    mxINT16_CLASS, mxUINT16_CLASS, mxINT32_CLASS, mxUINT32_CLASS, mxINT64_CLASS,
    mxUINT64_CLASS, mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

typedef char mxChar;
typedef unsigned char mxLogical;
typedef int64_t mwSize;
typedef int64_t mwIndex;

// What the decoder calls.
mxArray *mxCreateUninitNumericArray(mwSize ndims, const mwSize *dims, mxClassID cls, mxComplexity cx);
mxArray *mxCreateLogicalArray(mwSize ndims, const mwSize *dims);
mxArray *mxCreateCharArray(mwSize ndims, const mwSize *dims);
mxArray *mxCreateCellArray(mwSize ndims, const mwSize *dims);
mxArray *mxCreateStructArray(mwSize ndims, const mwSize *dims, int nfields, const char **names);
mxArray *mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity cx);
mxArray *mxCreateSparseLogicalMatrix(mwSize m, mwSize n, mwSize nzmax);
void *mxGetData(const mxArray *a);
void *mxGetImagData(const mxArray *a);
mwIndex *mxGetIr(const mxArray *a);
mwIndex *mxGetJc(const mxArray *a);
void mxSetCell(mxArray *a, mwIndex i, mxArray *value);
void mxSetFieldByNumber(mxArray *a, mwIndex i, int field, mxArray *value);
void mxDestroyArray(mxArray *a);
mxArray *mxDuplicateArray(const mxArray *a);

// What the decoder and a harness need to look into arrays.
mxClassID mxGetClassID(const mxArray *a);
bool mxIsSparse(const mxArray *a);
bool mxIsComplex(const mxArray *a);
mwSize mxGetNumberOfDimensions(const mxArray *a);
const mwSize *mxGetDimensions(const mxArray *a);
size_t mxGetNumberOfElements(const mxArray *a);
size_t mxGetElementSize(const mxArray *a);
mwSize mxGetM(const mxArray *a);
mwSize mxGetN(const mxArray *a);
mwSize mxGetNzmax(const mxArray *a);
mxArray *mxGetCell(const mxArray *a, mwIndex i);
int mxGetNumberOfFields(const mxArray *a);
const char *mxGetFieldNameByNumber(const mxArray *a, int field);
mxArray *mxGetFieldByNumber(const mxArray *a, mwIndex i, int field);

// Arrays created and not yet destroyed (children included).
long mxstub_live_arrays();

#endif
