/* Stand-in for the mx part of MATLAB's C API, for build checks only: the
 * types and the functions that bytes2value calls, with the signatures of
 * MATLAB's documented interface (R2018a and later).  Written by us from the
 * documentation; not MATLAB's header.  The functions are defined by the
 * stand-in libmx, whose every function aborts. */
#ifndef STANDIN_MATRIX_H
#define STANDIN_MATRIX_H

#include <stddef.h>

#ifdef __cplusplus
#define STANDIN_EXTERN_C extern "C"
#else
#define STANDIN_EXTERN_C extern
#include <stdbool.h>
#endif

typedef struct mxArray_tag mxArray;
typedef size_t mwSize;
typedef size_t mwIndex;
typedef ptrdiff_t mwSignedIndex;
typedef bool mxLogical;
#ifdef __cplusplus
typedef char16_t mxChar;
#else
typedef unsigned short mxChar;
#endif

typedef enum {
    mxUNKNOWN_CLASS = 0, mxCELL_CLASS, mxSTRUCT_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS, mxVOID_CLASS,
    mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS, mxUINT8_CLASS, mxINT16_CLASS, mxUINT16_CLASS,
    mxINT32_CLASS, mxUINT32_CLASS, mxINT64_CLASS, mxUINT64_CLASS, mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL, mxCOMPLEX } mxComplexity;

STANDIN_EXTERN_C bool mxIsSparse(const mxArray *pa);
STANDIN_EXTERN_C bool mxIsNumeric(const mxArray *pa);
STANDIN_EXTERN_C bool mxIsChar(const mxArray *pa);
STANDIN_EXTERN_C bool mxIsLogical(const mxArray *pa);
STANDIN_EXTERN_C const char *mxGetClassName(const mxArray *pa);
STANDIN_EXTERN_C mxClassID mxGetClassID(const mxArray *pa);
STANDIN_EXTERN_C size_t mxGetElementSize(const mxArray *pa);
STANDIN_EXTERN_C size_t mxGetNumberOfElements(const mxArray *pa);
STANDIN_EXTERN_C void *mxGetData(const mxArray *pa);
STANDIN_EXTERN_C void mxDestroyArray(mxArray *pa);

/* mxDeserialize is exported by libmx but declared by no MATLAB header: the
 * plug-in must declare it itself, so it is not declared here either. */

#endif
