// Error reporting shared by the whole library.
#include <wfdb/wfdb.h>

#include <cstdarg>
#include <cstdio>

#include "state.h"

namespace wfdbint {
bool quiet = false;
}

extern "C" void wfdbquiet(void) { wfdbint::quiet = true; }
extern "C" void wfdbverbose(void) { wfdbint::quiet = false; }

extern "C" void wfdb_error(const char *format, ...)
{
    if (wfdbint::quiet) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

// Callers that cannot go on without memory exit; that is the usual choice.
extern "C" int wfdb_me_fatal(void) { return 1; }
