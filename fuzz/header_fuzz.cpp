// Arbitrary bytes as a record's header file, and as a -f/-t time argument.
// A header that parses must hold a usable clock, and every time it gives
// must format within the column's bounds.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "record_header.h"
#include "time_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    RecordHeader h;
    bool ok = parse_record_header(text, size, &h).empty();
    if (ok) {
        if (!(h.sampfreq > 0) || !std::isfinite(h.sampfreq)) std::abort();
        if (h.basetime_ms < 0 || h.basetime_ms >= 86400000LL) std::abort();
        if (h.has_basedate && (h.day < 1 || h.day > 31 || h.month < 1 || h.month > 12 || h.year < 1)) std::abort();
    }
    for (long t : {0L, 1L, 1L << 40, LONG_MAX, long(size) * 977}) {
        std::string col = time_column(t, h);
        if (col.size() < 12 || col.size() > 40) std::abort();
    }
    // The same bytes as a time argument, with and without a clock.
    std::string arg(text, size);
    arg = arg.c_str();
    long t = -1;
    if (parse_time_arg(arg.c_str(), &h, &t).empty() && t < 0) std::abort();
    t = -1;
    if (parse_time_arg(arg.c_str(), nullptr, &t).empty() && (t < 0 || arg[0] != 's')) std::abort();
    return 0;
}
