// MATLAB's time types as Octave numbers: a datetime becomes datenums of the
// clock time it shows, a duration days, a calendarDuration a struct of its
// months, days and time (in days).
//
//   datetime          data  double (complex: real + imaginary ms), ms since
//                           1970-01-01 00:00 UTC; for an unzoned value the
//                           clock reading counted as if it were UTC
//                     tz    '' or a zone name
//   duration          millis double, ms
//   calendarDuration  components  1x1 struct: months, days, millis, each
//                                 the value's shape or 1x1 (repeated)
#include <cmath>

#include "mx_access.h"
#include "object_builder.h"
#include "stream_error.h"
#include "time_zone.h"

namespace mxd {
namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kDatenum1970 = 719529.0;  // datenum of 1970-01-01

bool is_real_double(const mxArray *a)
{
    return a && mxGetClassID(a) == mxDOUBLE_CLASS && !mxIsSparse(a) && !mxIsComplex(a);
}

OwnedArray doubles_like(const mxArray *shape)
{
    return host_new([&] {
        return mxCreateUninitNumericArray(mxGetNumberOfDimensions(shape), const_cast<mwSize *>(mxGetDimensions(shape)),
                                          mxDOUBLE_CLASS, mxREAL);
    });
}

// ms / 86400000 of a real double array, in an array of its shape.
OwnedArray as_days(const mxArray *ms)
{
    OwnedArray out = doubles_like(ms);
    const double *in = static_cast<const double *>(mxGetData(ms));
    double *o = static_cast<double *>(mxGetData(out.get()));
    for (size_t i = 0, n = mxGetNumberOfElements(ms); i < n; ++i) o[i] = in[i] / kMsPerDay;
    return out;
}

bool same_dims(const mxArray *a, const mxArray *b)
{
    const mwSize na = mxGetNumberOfDimensions(a), nb = mxGetNumberOfDimensions(b);
    if (na != nb) return false;
    for (mwSize k = 0; k < na; ++k)
        if (mxGetDimensions(a)[k] != mxGetDimensions(b)[k]) return false;
    return true;
}

bool is_1x1(const mxArray *a)
{
    return mxGetNumberOfDimensions(a) == 2 && mxGetDimensions(a)[0] == 1 && mxGetDimensions(a)[1] == 1;
}

// Printable for messages: the zone text is the stream's, not ours.
std::string quoted(const std::string &s)
{
    std::string q;
    for (char c : s.substr(0, 64)) q += (c >= 0x20 && c < 0x7f) ? c : '?';
    return "'" + q + (s.size() > 64 ? "...'" : "'");
}

}  // namespace

OwnedArray ObjectBuilder::datetime_value(const Properties &p, const Where &w)
{
    std::string zone;
    const mxArray *tz = p.get("tz");
    if (tz && !(mxGetClassID(tz) == mxDOUBLE_CLASS && mxGetNumberOfElements(tz) == 0) && !text_of(tz, zone))
        fail_at(w.at, w.where, "a datetime whose time zone is not text");
    if (!zone.empty() && !zone_name_well_formed(zone))
        fail_at(w.at, w.where, "a datetime whose time zone " + quoted(zone) + " is not a zone name");

    const mxArray *data = p.get("data");
    if (!data) return empty_double();
    if (mxGetClassID(data) != mxDOUBLE_CLASS || mxIsSparse(data))
        fail_at(w.at, w.where, "a datetime whose data is not a double array");

    double offset = 0;
    bool zoned = !zone.empty();
    if (zoned && !zone_offset_ms(zone, 0.0, offset)) {
        ctx_.warn("bytes2value:unknownTimeZone", zone, [&] {
            return "time zone " + quoted(zone) + " is not in this system's time zone data; its datetimes are taken as UTC";
        });
        zoned = false;
        offset = 0;
    }
    OwnedArray out = doubles_like(data);
    const double *re = static_cast<const double *>(mxGetData(data));
    const double *im = mxIsComplex(data) ? static_cast<const double *>(mxGetImagData(data)) : nullptr;
    double *o = static_cast<double *>(mxGetData(out.get()));
    for (size_t i = 0, n = mxGetNumberOfElements(data); i < n; ++i) {
        const double ms = re[i] + (im ? im[i] : 0.0);
        if (zoned && std::isfinite(ms)) zone_offset_ms(zone, ms, offset);
        o[i] = kDatenum1970 + (ms + offset) / kMsPerDay;  // NaT stays NaN
    }
    return out;
}

OwnedArray ObjectBuilder::duration_value(const Properties &p, const Where &w)
{
    const mxArray *ms = p.get("millis");
    if (!ms) return empty_double();
    if (!is_real_double(ms)) fail_at(w.at, w.where, "a duration whose millis is not a real double array");
    return as_days(ms);
}

OwnedArray ObjectBuilder::calendar_duration_value(const Properties &p, const Where &w)
{
    static const char *const names[] = {"months", "days", "time"};
    const mxArray *c = p.get("components");
    const mxArray *parts[3] = {nullptr, nullptr, nullptr};
    if (c && !(mxGetClassID(c) == mxDOUBLE_CLASS && mxGetNumberOfElements(c) == 0)) {
        if (!is_struct1(c)) fail_at(w.at, w.where, "a calendarDuration whose components are not a struct");
        parts[0] = field_of(c, "months");
        parts[1] = field_of(c, "days");
        parts[2] = field_of(c, "millis");
        for (const mxArray *a : parts)
            if (!is_real_double(a))
                fail_at(w.at, w.where, "a calendarDuration without real double months, days and millis");
    }
    // The shape is that of the components that are not 1x1; they must agree.
    const mxArray *shape = nullptr;
    for (const mxArray *a : parts)
        if (a && !is_1x1(a)) {
            if (shape && !same_dims(shape, a))
                fail_at(w.at, w.where, "a calendarDuration whose components differ in size");
            shape = a;
        }
    if (!shape) shape = parts[0];

    mwSize one[2] = {1, 1};
    OwnedArray s = host_new([&] { return mxCreateStructArray(2, one, 3, const_cast<const char **>(names)); });
    for (int k = 0; k < 3; ++k) {
        OwnedArray v;
        if (!shape) {
            v = empty_double();
        } else {
            v = doubles_like(shape);
            const double *in = static_cast<const double *>(mxGetData(parts[k]));
            const bool repeat = is_1x1(parts[k]);
            const double unit = k == 2 ? kMsPerDay : 1.0;
            double *o = static_cast<double *>(mxGetData(v.get()));
            for (size_t i = 0, n = mxGetNumberOfElements(shape); i < n; ++i) o[i] = in[repeat ? 0 : i] / unit;
        }
        mxSetFieldByNumber(s.get(), 0, k, v.release());
    }
    return s;
}

}  // namespace mxd
