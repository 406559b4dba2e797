/* Stand-in: the API-version function that FindMatlab's matlab_add_mex adds
 * to every MEX file of R2016b and later.  700 and 800 are the two API
 * generations (separate and interleaved complex). */
#include "mex.h"

STANDIN_EXTERN_C void mexfilerequiredapiversion(unsigned int *built_by_rel, unsigned int *target_api_ver);
void mexfilerequiredapiversion(unsigned int *built_by_rel, unsigned int *target_api_ver)
{
    *built_by_rel = 0x2018a;
    *target_api_ver = 800;
}
