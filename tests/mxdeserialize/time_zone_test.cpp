// Zone offsets against facts of the zones (not against the library that
// computes them), and zone texts that must never reach the file system.
#include "time_zone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kHour = 3600000.0;

TEST(TimeZone, OffsetsOfKnownZones)
{
    struct {
        const char *zone;
        double utc_ms;
        double offset_ms;
    } cases[] = {
        {"America/New_York", 1743523200000.0, -4 * kHour},  // 2025-04-01 16:00 UTC, daylight time
        {"America/New_York", 1736942400000.0, -5 * kHour},  // 2025-01-15 12:00 UTC, standard time
        {"Europe/Berlin", 1751371200000.0, 2 * kHour},      // 2025-07-01
        {"Asia/Kolkata", 0.0, 5.5 * kHour},
        {"Australia/Lord_Howe", 1736942400000.0, 11 * kHour},  // January: summer, +11
        {"Australia/Lord_Howe", 1751371200000.0, 10.5 * kHour},
        {"UTC", 1743523200000.0, 0.0},
        {"+05:30", 0.0, 5.5 * kHour},
        {"-08:00", 1e12, -8 * kHour},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " at " + std::to_string(c.utc_ms));
        ASSERT_TRUE(mxd::zone_name_well_formed(c.zone));
        double off = 12345;
        ASSERT_TRUE(mxd::zone_offset_ms(c.zone, c.utc_ms, off));
        EXPECT_EQ(off, c.offset_ms);
    }
}

TEST(TimeZone, InstantsBeyondAnyCalendarAreSafe)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (double t : {1e300, -1e300, inf, -inf, std::nan(""), 9.2e18, -9.2e18}) {
        SCOPED_TRACE(t);
        double off = 12345;
        ASSERT_TRUE(mxd::zone_offset_ms("Europe/Berlin", t, off));
        EXPECT_TRUE(std::isfinite(off) && std::fabs(off) <= 14 * kHour) << off;
    }
}

TEST(TimeZone, UnknownAndMalformedZones)
{
    double off = 0;
    EXPECT_TRUE(mxd::zone_name_well_formed("Mars/Olympus_Mons"));
    EXPECT_FALSE(mxd::zone_offset_ms("Mars/Olympus_Mons", 0, off));
    // Paths out of the zone directory, and texts no zone has.
    for (const char *z : {"", "../../etc/passwd", "/etc/localtime", "Europe/../Paris", "a//b", "Europe/", ".",
                          "Europe/Ber lin", "tab\there", "+25:00", "+05:60"}) {
        SCOPED_TRACE(z);
        EXPECT_FALSE(mxd::zone_name_well_formed(z));
    }
    EXPECT_FALSE(mxd::zone_name_well_formed(std::string(256, 'a')));
    EXPECT_FALSE(mxd::zone_name_well_formed(std::string("Europe/Berlin\0x", 15)));
}

}  // namespace
