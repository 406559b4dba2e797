// Sample numbers to clock text and back, with the record's sampling
// frequency.  Times are carried in whole milliseconds, rounded to nearest.
#include "time_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Milliseconds from sample 0 to sample t, or false when that is beyond what
// 64 bits hold (a huge sample number over a tiny frequency).
bool elapsed_ms(long t, double sampfreq, long long *ms)
{
    long double v = static_cast<long double>(t) * 1000.0L / sampfreq;
    if (!(v < 9.0e18L && v > -9.0e18L)) return false;
    *ms = std::llround(v);
    return true;
}

// Day number to day, month, year (proleptic Gregorian; day 0 is 1/1/1970).
void civil_from_days(long long z, long long *y, int *m, int *d)
{
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    *d = int(doy - (153 * mp + 2) / 5 + 1);
    *m = int(mp < 10 ? mp + 3 : mp - 9);
    *y = yoe + era * 400 + (*m <= 2);
}

long long days_from_civil(long long y, int m, int d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// A whole number of at most max_digits digits, the whole of [p, p+n).
bool whole(const char *p, size_t n, size_t max_digits, long long *out)
{
    if (n == 0 || n > max_digits) return false;
    long long v = 0;
    for (size_t i = 0; i < n; i++) {
        if (p[i] < '0' || p[i] > '9') return false;
        v = v * 10 + (p[i] - '0');
    }
    *out = v;
    return true;
}

} // namespace

std::string time_column(long t, const RecordHeader &h)
{
    char buf[96];
    long long ms;
    if (!elapsed_ms(t, h.sampfreq, &ms)) {
        std::snprintf(buf, sizeof buf, "%12s", "(too late)");
        return buf;
    }
    if (h.has_basetime) {
        long long tod = h.basetime_ms + ms;
        long long day = tod >= 0 ? tod / 86400000 : -((-tod + 86399999) / 86400000);
        tod -= day * 86400000;
        int n = std::snprintf(buf, sizeof buf, "[%02lld:%02lld:%02lld.%03lld", tod / 3600000, tod / 60000 % 60,
                              tod / 1000 % 60, tod % 1000);
        if (h.has_basedate) {
            long long y;
            int m, d;
            civil_from_days(days_from_civil(h.year, h.month, h.day) + day, &y, &m, &d);
            n += std::snprintf(buf + n, sizeof buf - n, " %02d/%02d/%04lld", d, m, y);
        }
        std::snprintf(buf + n, sizeof buf - n, "]");
        return buf;
    }
    char text[64];
    const char *sign = ms < 0 ? "-" : "";
    unsigned long long a = ms < 0 ? 0ULL - static_cast<unsigned long long>(ms) : static_cast<unsigned long long>(ms);
    if (a >= 3600000)
        std::snprintf(text, sizeof text, "%s%llu:%02llu:%02llu.%03llu", sign, a / 3600000, a / 60000 % 60,
                      a / 1000 % 60, a % 1000);
    else
        std::snprintf(text, sizeof text, "%s%llu:%02llu.%03llu", sign, a / 60000, a / 1000 % 60, a % 1000);
    std::snprintf(buf, sizeof buf, "%12s", text);
    return buf;
}

std::string parse_time_arg(const char *text, const RecordHeader *h, long *t)
{
    size_t n = std::strlen(text);
    long long v;
    if (n > 0 && text[0] == 's') {
        if (!whole(text + 1, n - 1, 18, &v)) return "a sample number is s followed by digits";
        *t = long(v);
        return "";
    }
    // Up to three parts separated by ':'; the last may have a fraction.
    const char *parts[3];
    size_t lens[3], count = 0;
    for (const char *p = text;;) {
        const char *colon = std::strchr(p, ':');
        if (count == 3) return "a time is [[hh:]mm:]ss";
        parts[count] = p;
        lens[count++] = colon ? size_t(colon - p) : std::strlen(p);
        if (!colon) break;
        p = colon + 1;
    }
    long long whole_parts[2] = {0, 0};
    for (size_t i = 0; i + 1 < count; i++)
        if (!whole(parts[i], lens[i], 9, &whole_parts[i])) return "a time is [[hh:]mm:]ss";
    const char *s = parts[count - 1];
    size_t sl = lens[count - 1];
    const char *dot = static_cast<const char *>(std::memchr(s, '.', sl));
    long long secs, frac = 0;
    size_t il = dot ? size_t(dot - s) : sl, fl = dot ? sl - il - 1 : 0;
    if (!whole(s, il, 9, &secs) || (dot && fl > 0 && !whole(dot + 1, fl, 9, &frac))) return "a time is [[hh:]mm:]ss";
    if (count > 1 && secs > 59) return "seconds after a colon must be below 60";
    if (count == 3 && whole_parts[1] > 59) return "minutes after hours must be below 60";
    if (!h) return "a time needs the record's sampling frequency (no header file); give a sample number sNNN";
    long double seconds = 0;
    for (size_t i = 0; i + 1 < count; i++) seconds = seconds * 60 + whole_parts[i];
    seconds = seconds * 60 + secs;
    seconds += frac / std::pow(10.0L, static_cast<long double>(fl));
    long double samples = std::roundl(seconds * h->sampfreq);
    if (!(samples < 9.0e18L)) return "the time is beyond the largest sample number";
    *t = long(samples);
    return "";
}
