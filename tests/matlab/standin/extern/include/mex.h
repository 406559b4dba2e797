/* Stand-in for MATLAB's MEX interface, for build checks only (see
 * matrix.h): the entry point a plug-in defines and the mex functions
 * bytes2value calls.  Written by us from the documentation. */
#ifndef STANDIN_MEX_H
#define STANDIN_MEX_H

#include "matrix.h"

/* The entry point MATLAB looks up by its C name. */
STANDIN_EXTERN_C void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

STANDIN_EXTERN_C void mexErrMsgIdAndTxt(const char *errorid, const char *errormsg, ...);
STANDIN_EXTERN_C void mexWarnMsgIdAndTxt(const char *warningid, const char *warningmsg, ...);

#endif
