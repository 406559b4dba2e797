/* Stand-in libmx: every function the stand-in matrix.h declares, defined
 * only so that links resolve.  Nothing here may ever run. */
#include <stdlib.h>

#include "matrix.h"

bool mxIsSparse(const mxArray *pa) { (void)pa; abort(); }
bool mxIsNumeric(const mxArray *pa) { (void)pa; abort(); }
bool mxIsChar(const mxArray *pa) { (void)pa; abort(); }
bool mxIsLogical(const mxArray *pa) { (void)pa; abort(); }
const char *mxGetClassName(const mxArray *pa) { (void)pa; abort(); }
mxClassID mxGetClassID(const mxArray *pa) { (void)pa; abort(); }
size_t mxGetElementSize(const mxArray *pa) { (void)pa; abort(); }
size_t mxGetNumberOfElements(const mxArray *pa) { (void)pa; abort(); }
void *mxGetData(const mxArray *pa) { (void)pa; abort(); }
void mxDestroyArray(mxArray *pa) { (void)pa; abort(); }
/* Exported by libmx, with C linkage, though no header declares it. */
mxArray *mxDeserialize(const void *bytes, size_t count);
mxArray *mxDeserialize(const void *bytes, size_t count) { (void)bytes; (void)count; abort(); }
