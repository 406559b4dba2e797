#include "time_zone.h"

#include <date/tz.h>

#include <chrono>
#include <cmath>
#include <exception>

namespace mxd {
namespace {

bool fixed_offset(const std::string &z, double &offset_ms)
{
    auto digit = [&](size_t i) { return z[i] >= '0' && z[i] <= '9'; };
    if (z.size() != 6 || (z[0] != '+' && z[0] != '-') || !digit(1) || !digit(2) || z[3] != ':' || !digit(4) ||
        !digit(5))
        return false;
    int h = (z[1] - '0') * 10 + (z[2] - '0'), m = (z[4] - '0') * 10 + (z[5] - '0');
    if (h > 23 || m > 59) return false;
    offset_ms = (z[0] == '-' ? -1.0 : 1.0) * (h * 60 + m) * 60000.0;
    return true;
}

}  // namespace

bool zone_name_well_formed(const std::string &zone)
{
    double ignored;
    if (fixed_offset(zone, ignored)) return true;
    if (zone.empty() || zone.size() > 255) return false;
    size_t part = 0;  // length of the current '/'-separated part
    bool dots_only = true;
    for (char c : zone) {
        if (c == '/') {
            if (part == 0 || dots_only) return false;
            part = 0;
            dots_only = true;
            continue;
        }
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                  c == '-' || c == '+' || c == '.';
        if (!ok) return false;
        dots_only = dots_only && c == '.';
        ++part;
    }
    return part > 0 && !dots_only;
}

bool zone_offset_ms(const std::string &zone, double utc_ms, double &offset_ms)
{
    if (fixed_offset(zone, offset_ms)) return true;
    // MATLAB's own name for UTC counted with leap seconds.
    if (zone == "UTCLeapSeconds") {
        offset_ms = 0;
        return true;
    }
    const date::time_zone *tz;
    try {
        tz = date::locate_zone(zone);
    } catch (const std::exception &) {
        return false;  // not in the system's data, or no data at all
    }
    // Far outside the data's range the zone's offset no longer changes: look
    // it up at a bounded instant (about +-25,000 years, within the library's calendar), never overflowing.
    constexpr double kBound = 8e14;
    double t = std::isfinite(utc_ms) ? std::fmax(-kBound, std::fmin(kBound, utc_ms)) : 0.0;
    date::sys_time<std::chrono::milliseconds> at{std::chrono::milliseconds{static_cast<long long>(t)}};
    offset_ms = static_cast<double>(tz->get_info(at).offset.count()) * 1000.0;
    return true;
}

}  // namespace mxd
