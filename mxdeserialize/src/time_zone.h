// UTC offsets of the time zones that MATLAB's datetime values name, from the
// system's time zone data.
#ifndef MXDESERIALIZE_TIME_ZONE_H
#define MXDESERIALIZE_TIME_ZONE_H

#include <string>

namespace mxd {

// Whether a datetime's zone text can name a zone at all: an IANA name
// (letters, digits, '/', '_', '-', '+', '.', no empty or dot-only part), or
// a fixed offset "+HH:MM" / "-HH:MM". Anything else is a malformed stream.
bool zone_name_well_formed(const std::string &zone);

// The offset from UTC, in milliseconds, that the clock in `zone` shows at
// the UTC instant `utc_ms` (milliseconds since 1970). False when the system
// doesn't know the zone. `zone` must be well formed and not empty.
bool zone_offset_ms(const std::string &zone, double utc_ms, double &offset_ms);

}  // namespace mxd

#endif
