// Writes the byte stream that MATLAB's serializer writes for an mxArray.
#ifndef MXSERIALIZE_MXSERIALIZE_H
#define MXSERIALIZE_MXSERIALIZE_H

#include <cstddef>

#include "mxserialize/mx_api.h"

// Answers a new 1xN uint8 array owned by the caller. A value that can't be
// written goes to mxserialize_report(...) after everything made on the way
// has been destroyed, and before any output exists; if that hook returns,
// the answer is NULL.
mxArray *mxSerialize(const mxArray *value);

// Hooks the host supplies (the MEX build: host_mex.cpp).
//
// Raises an error with identifier `id`; the MEX build does not return.
void mxserialize_report(const char *id, const char *message);
// A new 1 x `count` uint8 array whose data the serializer fills; NULL when
// there is no memory for it.
mxArray *mxserialize_new_bytes(size_t count);
// For a value of a class the mx API can't look into: a new struct array of
// the fields of an old-style class object, or NULL when it is not one.
mxArray *mxserialize_object_fields(const mxArray *value);

#endif
