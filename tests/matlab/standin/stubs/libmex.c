/* Stand-in libmex: defined only so that links resolve. */
#include <stdlib.h>

#include "mex.h"

void mexErrMsgIdAndTxt(const char *errorid, const char *errormsg, ...) { (void)errorid; (void)errormsg; abort(); }
void mexWarnMsgIdAndTxt(const char *warningid, const char *warningmsg, ...) { (void)warningid; (void)warningmsg; abort(); }
