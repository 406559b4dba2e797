// The mx stand-in plus the two calls the serializer makes that the decoder
// doesn't; value2bytes_fuzz.cpp defines them.
#ifndef VALUE2BYTES_MX_H
#define VALUE2BYTES_MX_H

#include "mxstub.h"

double mxGetScalar(const mxArray *a);
const char *mxGetClassName(const mxArray *a);

#endif
