// The decoder's report hook for a MEX host: errors and warnings go through the
// host's own calls so they carry an identifier the caller can catch.
#include "mxdeserialize/mxdeserialize.h"

void mxdeserialize_report(bool fatal, const char *id, const char *message)
{
    if (fatal)
        mexErrMsgIdAndTxt(id, "%s", message);
    else
        mexWarnMsgIdAndTxt(id, "%s", message);
}
