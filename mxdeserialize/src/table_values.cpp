// MATLAB's categorical, table and timetable as Octave values: a cellstr of
// category names, and structs whose fields are the variables, in order,
// then Properties (a timetable's row times first, under its first
// dimension name).
//
//   categorical  categoryNames  C x 1 cell of char
//                codes          unsigned integers, the value's shape:
//                               k >= 1 names categoryNames{k}, 0 undefined
//   table        data 1 x nvars cell of columns (nrows rows each), varnames,
//                nrows, nvars, rownames (0x0 or nrows x 1), props struct
//   timetable    one struct 'any': data, varNames, numRows, numVars,
//                dimNames, varUnits, varDescriptions, arrayProps, and
//                rowTimes: a datetime or duration column, or a struct of
//                origin, stepSize (duration or calendarDuration),
//                specifiedAsRate and sampleRate for regular row times
//
// Counts, names and row counts are checked against the data they describe:
// a table that disagrees with itself is a malformed stream.
#include <date/date.h>

#include <cmath>
#include <set>

#include "mx_access.h"
#include "object_builder.h"
#include "stream_error.h"

namespace mxd {
namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kDatenum1970 = 719529.0;

bool is_empty_double(const mxArray *a)
{
    return a && mxGetClassID(a) == mxDOUBLE_CLASS && mxGetNumberOfElements(a) == 0;
}

// Element i of a real numeric array, as a double; NaN for anything else.
double number_at(const mxArray *a, size_t i)
{
    const void *d = mxGetData(a);
    switch (mxGetClassID(a)) {
    case mxDOUBLE_CLASS: return static_cast<const double *>(d)[i];
    case mxSINGLE_CLASS: return static_cast<const float *>(d)[i];
    case mxINT8_CLASS: return static_cast<const int8_t *>(d)[i];
    case mxUINT8_CLASS: return static_cast<const uint8_t *>(d)[i];
    case mxINT16_CLASS: return static_cast<const int16_t *>(d)[i];
    case mxUINT16_CLASS: return static_cast<const uint16_t *>(d)[i];
    case mxINT32_CLASS: return static_cast<const int32_t *>(d)[i];
    case mxUINT32_CLASS: return static_cast<const uint32_t *>(d)[i];
    case mxINT64_CLASS: return static_cast<double>(static_cast<const int64_t *>(d)[i]);
    case mxUINT64_CLASS: return static_cast<double>(static_cast<const uint64_t *>(d)[i]);
    case mxLOGICAL_CLASS: return static_cast<const mxLogical *>(d)[i] ? 1 : 0;
    default: return NAN;
    }
}

bool is_real_numbers(const mxArray *a)
{
    if (!a) return false;
    const mxClassID c = mxGetClassID(a);
    return ((c >= mxDOUBLE_CLASS && c <= mxUINT64_CLASS) || c == mxLOGICAL_CLASS) && !mxIsComplex(a) &&
           !mxIsSparse(a);
}

// A count stored as a real 1x1 (0 when absent): a whole number below 2^31.
bool count_of(const mxArray *a, double &n)
{
    if (!a) {
        n = 0;
        return true;
    }
    if (!is_real_numbers(a) || mxGetNumberOfElements(a) != 1) return false;
    n = number_at(a, 0);
    return n >= 0 && n < 2147483648.0 && n == std::floor(n);
}

bool is_true(const mxArray *a)
{
    return is_real_numbers(a) && mxGetNumberOfElements(a) == 1 && number_at(a, 0) != 0;
}

size_t rows_of(const mxArray *a)
{
    return mxGetNumberOfDimensions(a) >= 1 ? static_cast<size_t>(mxGetDimensions(a)[0]) : 0;
}

// What a table or timetable column decodes to when it is itself a table.
bool is_decoded_table(const mxArray *a)
{
    return is_struct1(a) && mxGetNumberOfFields(a) > 0 &&
           std::string(mxGetFieldNameByNumber(a, mxGetNumberOfFields(a) - 1)) == "Properties";
}

// The columns, taken out of the (already checked) cell that held them.
std::vector<OwnedArray> take_columns(mxArray *data, size_t n)
{
    std::vector<OwnedArray> out;
    for (size_t k = 0; k < n; ++k) {
        out.emplace_back(mxGetCell(data, static_cast<mwIndex>(k)));
        mxSetCell(data, static_cast<mwIndex>(k), nullptr);
    }
    return out;
}

OwnedArray copy_or(const mxArray *a, OwnedArray (*make)())
{
    return a ? duplicate(a) : make();
}

OwnedArray empty_cell()
{
    mwSize d[2] = {0, 0};
    return host_new([&] { return mxCreateCellArray(2, d); });
}

OwnedArray empty_text() { return text_array(""); }

// The datenum a calendar step away: whole months (clamped to the month's
// last day, as MATLAB does), then days and time, on the clock.
double add_calendar(double datenum, double months, double days, double time)
{
    if (!std::isfinite(datenum) || !std::isfinite(months) || std::fabs(months) > 1e6 || months != std::floor(months))
        return NAN;
    const double day = std::floor(datenum);
    if (std::fabs(day) > 1e9) return NAN;
    date::year_month_day ymd{date::sys_days{date::days{static_cast<long>(day - kDatenum1970)}}};
    ymd += date::months{static_cast<long>(months)};
    if (!ymd.ok()) ymd = ymd.year() / ymd.month() / date::last;
    const double moved = static_cast<double>(date::sys_days{ymd}.time_since_epoch().count()) + kDatenum1970;
    return moved + (datenum - day) + days + time;
}

}  // namespace

std::string ObjectBuilder::reference_class(const mxArray *a) const
{
    if (!a || !is_reference(a)) return "";
    const uint32_t *words = static_cast<const uint32_t *>(mxGetData(a));
    return ss_->classes[words[mxGetNumberOfElements(a) - 1]];
}

OwnedArray ObjectBuilder::categorical_value(const Properties &p, const Where &w)
{
    const mxArray *names = p.get("categoryNames"), *codes = p.get("codes");
    std::vector<std::string> cats;
    if (names && !is_empty_double(names)) {
        if (mxGetClassID(names) != mxCELL_CLASS) fail_at(w.at, w.where, "a categorical whose categories are not a cell");
        cats.resize(mxGetNumberOfElements(names));
        for (size_t k = 0; k < cats.size(); ++k)
            if (!text_of(mxGetCell(names, static_cast<mwIndex>(k)), cats[k]))
                fail_at(w.at, w.where, "a categorical category name that is not text");
    }
    if (!codes) return empty_cell();
    if (!is_real_numbers(codes) || mxGetClassID(codes) == mxLOGICAL_CLASS)
        fail_at(w.at, w.where, "a categorical whose codes are not numbers");
    OwnedArray out = host_new(
        [&] { return mxCreateCellArray(mxGetNumberOfDimensions(codes), mxGetDimensions(codes)); });
    for (size_t i = 0, n = mxGetNumberOfElements(codes); i < n; ++i) {
        const double c = number_at(codes, i);
        if (!(c >= 0 && c <= static_cast<double>(cats.size()) && c == std::floor(c)))
            fail_at(w.at, w.where, "a categorical code of " + std::to_string(cats.size()) +
                                       " categories that names none of them");
        mxSetCell(out.get(), static_cast<mwIndex>(i),
                  text_array(c == 0 ? std::string() : cats[static_cast<size_t>(c) - 1]).release());
    }
    return out;
}

// The variables' names and columns, checked against each other, the row
// count and the names that the struct holds beside them.
void ObjectBuilder::check_variables(const mxArray *names, const mxArray *data, double nvars, double nrows,
                                    const std::set<std::string> &taken, std::vector<std::string> &out,
                                    const Where &w)
{
    const size_t n = names && !is_empty_double(names) ? mxGetNumberOfElements(names) : 0;
    const size_t m = data && !is_empty_double(data) ? mxGetNumberOfElements(data) : 0;
    if ((names && n && mxGetClassID(names) != mxCELL_CLASS) || (data && m && mxGetClassID(data) != mxCELL_CLASS))
        fail_at(w.at, w.where, "a table whose variable names or data are not cells");
    if (n != nvars || m != nvars)
        fail_at(w.at, w.where, "a table of " + std::to_string(static_cast<long long>(nvars)) + " variables with " +
                                   std::to_string(n) + " names and " + std::to_string(m) + " columns");
    std::set<std::string> seen = taken;
    out.assign(n, std::string());
    for (size_t k = 0; k < n; ++k) {
        if (!text_of(mxGetCell(names, static_cast<mwIndex>(k)), out[k]) || out[k].empty() ||
            out[k].find('\0') != std::string::npos)
            fail_at(w.at, w.where, "a table variable name that is not text");
        if (!seen.insert(out[k]).second)
            fail_at(w.at, w.where, "a table variable name '" + out[k] + "' given twice or reserved");
        const mxArray *col = mxGetCell(data, static_cast<mwIndex>(k));
        if (!col || (!is_decoded_table(col) && rows_of(col) != nrows))
            fail_at(w.at, w.where, "table variable '" + out[k] + "' does not have the table's " +
                                       std::to_string(static_cast<long long>(nrows)) + " rows");
    }
}

// A struct of `names` (variables first, Properties last), taking `values`.
OwnedArray ObjectBuilder::table_struct(const std::vector<std::string> &names, std::vector<OwnedArray> &values)
{
    std::vector<const char *> fields;
    for (const std::string &n : names) fields.push_back(n.c_str());
    mwSize one[2] = {1, 1};
    OwnedArray s = host_new([&] { return mxCreateStructArray(2, one, static_cast<int>(fields.size()), fields.data()); });
    for (size_t f = 0; f < values.size(); ++f) mxSetFieldByNumber(s.get(), 0, static_cast<int>(f), values[f].release());
    return s;
}

OwnedArray ObjectBuilder::table_value(Properties &p, const Where &w)
{
    double nrows = 0, nvars = 0;
    if (!count_of(p.get("nrows"), nrows) || !count_of(p.get("nvars"), nvars))
        fail_at(w.at, w.where, "a table whose row or variable count is not a count");
    const mxArray *names = p.get("varnames"), *data = p.get("data"), *rownames = p.get("rownames");
    const mxArray *props = p.get("props");
    if (props && !is_struct1(props)) fail_at(w.at, w.where, "a table whose properties are not a struct");
    std::vector<std::string> fields;
    check_variables(names, data, nvars, nrows, {"Properties"}, fields, w);
    const size_t nrownames = rownames && !is_empty_double(rownames) ? mxGetNumberOfElements(rownames) : 0;
    if (nrownames != 0 && (mxGetClassID(rownames) != mxCELL_CLASS || nrownames != nrows))
        fail_at(w.at, w.where, "a table whose row names do not match its " +
                                   std::to_string(static_cast<long long>(nrows)) + " rows");

    std::vector<OwnedArray> values = take_columns(const_cast<mxArray *>(data), fields.size());

    static const char *const pnames[] = {"VariableNames", "RowNames",  "DimensionNames", "VariableUnits",
                                         "VariableDescriptions", "Description", "UserData"};
    mwSize one[2] = {1, 1}, none[2] = {1, 0};
    OwnedArray pr = host_new([&] { return mxCreateStructArray(2, one, 7, const_cast<const char **>(pnames)); });
    mxSetFieldByNumber(pr.get(), 0, 0, host_new([&] { return names ? mxDuplicateArray(names) : mxCreateCellArray(2, none); }).release());
    mxSetFieldByNumber(pr.get(), 0, 1, (nrownames ? duplicate(rownames) : empty_cell()).release());
    mxSetFieldByNumber(pr.get(), 0, 2, copy_or(field_of(props, "DimensionNames"), empty_cell).release());
    mxSetFieldByNumber(pr.get(), 0, 3, copy_or(field_of(props, "VariableUnits"), empty_cell).release());
    mxSetFieldByNumber(pr.get(), 0, 4, copy_or(field_of(props, "VariableDescriptions"), empty_cell).release());
    mxSetFieldByNumber(pr.get(), 0, 5, copy_or(field_of(props, "Description"), empty_text).release());
    mxSetFieldByNumber(pr.get(), 0, 6, copy_or(field_of(props, "UserData"), empty_double).release());
    fields.push_back("Properties");
    values.push_back(std::move(pr));
    return table_struct(fields, values);
}

// Row times: a stored column, or origin + k x step for k = 0 .. rows - 1.
OwnedArray ObjectBuilder::row_times(const mxArray *rt, double nrows, const Where &w, int depth)
{
    auto decode1 = [&](const mxArray *ref, const char *what, std::string &cls) {
        cls = reference_class(ref);
        OwnedArray v = resolve(duplicate(ref), w, depth);
        if ((cls != "datetime" && cls != "duration" && cls != "calendarDuration") ||
            (cls != "calendarDuration" && (mxGetClassID(v.get()) != mxDOUBLE_CLASS || mxIsComplex(v.get()))))
            fail_at(w.at, w.where, std::string("a timetable whose ") + what + " is not a datetime or duration");
        return v;
    };
    if (rt && is_reference(rt)) {
        std::string cls;
        OwnedArray v = decode1(rt, "row times", cls);
        if (cls == "calendarDuration" || mxGetNumberOfElements(v.get()) != nrows)
            fail_at(w.at, w.where, "a timetable whose row times do not match its " +
                                       std::to_string(static_cast<long long>(nrows)) + " rows");
        return v;
    }
    if (!is_struct1(rt)) fail_at(w.at, w.where, "a timetable without row times");
    const mxArray *origin = field_of(rt, "origin"), *step = field_of(rt, "stepSize");
    if (!origin || !step) fail_at(w.at, w.where, "a timetable's regular row times without origin and step");
    std::string ocls, scls;
    OwnedArray o = decode1(origin, "start time", ocls);
    if (ocls == "calendarDuration" || mxGetNumberOfElements(o.get()) != 1)
        fail_at(w.at, w.where, "a timetable whose start time is not one datetime or duration");
    const double start = *static_cast<const double *>(mxGetData(o.get()));
    const bool by_rate = is_true(field_of(rt, "specifiedAsRate"));
    double step_ms = NAN;
    OwnedArray s;
    if (by_rate) {
        const mxArray *rate = field_of(rt, "sampleRate");
        if (!is_real_numbers(rate) || mxGetNumberOfElements(rate) != 1)
            fail_at(w.at, w.where, "a timetable made with a sample rate that holds none");
        step_ms = 1000.0 / number_at(rate, 0);
    } else {
        s = decode1(step, "time step", scls);
        if (scls == "datetime") fail_at(w.at, w.where, "a timetable whose time step is a datetime");
        if (scls == "calendarDuration" && ocls != "datetime")
            fail_at(w.at, w.where, "a timetable with a calendar step from a duration");
        if (scls == "duration") {
            if (mxGetNumberOfElements(s.get()) != 1) fail_at(w.at, w.where, "a timetable whose time step is not one value");
            step_ms = *static_cast<const double *>(mxGetData(s.get())) * kMsPerDay;
        }
    }
    charge(static_cast<uint64_t>(nrows), w);
    mwSize dims[2] = {static_cast<mwSize>(nrows), 1};
    OwnedArray out = host_new([&] { return mxCreateUninitNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL); });
    double *t = static_cast<double *>(mxGetData(out.get()));
    if (scls == "calendarDuration") {
        double part[3];
        const char *const names[] = {"months", "days", "time"};
        for (int k = 0; k < 3; ++k) {
            const mxArray *a = field_of(s.get(), names[k]);
            if (!a || mxGetNumberOfElements(a) != 1)
                fail_at(w.at, w.where, "a timetable whose calendar step is not one value");
            part[k] = *static_cast<const double *>(mxGetData(a));
        }
        for (size_t k = 0; k < nrows; ++k) t[k] = add_calendar(start, k * part[0], k * part[1], k * part[2]);
    } else {
        for (size_t k = 0; k < nrows; ++k) t[k] = start + (k * step_ms) / kMsPerDay;
    }
    return out;
}

OwnedArray ObjectBuilder::timetable_value(Properties &p, const Where &w, int depth)
{
    // Raw, so that the row times' classes can be told; everything else is
    // resolved once they are out.
    const mxArray *raw = p.get("any");
    if (!is_struct1(raw)) fail_at(w.at, w.where, "a timetable without its struct");
    OwnedArray any = duplicate(raw);
    OwnedArray rt;
    for (int f = 0; f < mxGetNumberOfFields(any.get()); ++f)
        if (std::string(mxGetFieldNameByNumber(any.get(), f)) == "rowTimes") {
            rt.reset(mxGetFieldByNumber(any.get(), 0, f));
            mxSetFieldByNumber(any.get(), 0, f, nullptr);
        }
    any = resolve(std::move(any), w, depth);
    const mxArray *a = any.get();

    double nrows = 0, nvars = 0;
    if (!count_of(field_of(a, "numRows"), nrows) || !count_of(field_of(a, "numVars"), nvars))
        fail_at(w.at, w.where, "a timetable whose row or variable count is not a count");
    const mxArray *dims = field_of(a, "dimNames"), *arr = field_of(a, "arrayProps");
    std::string time_name;
    if (!dims || mxGetClassID(dims) != mxCELL_CLASS || mxGetNumberOfElements(dims) < 1 ||
        !text_of(mxGetCell(dims, 0), time_name) || time_name.empty() || time_name == "Properties")
        fail_at(w.at, w.where, "a timetable without a name for its row times");
    if (arr && !is_struct1(arr)) fail_at(w.at, w.where, "a timetable whose array properties are not a struct");
    std::vector<std::string> fields;
    const mxArray *names = field_of(a, "varNames"), *data = field_of(a, "data");
    check_variables(names, data, nvars, nrows, {"Properties", time_name}, fields, w);
    OwnedArray times = row_times(rt.get(), nrows, w, depth);

    std::vector<OwnedArray> values = take_columns(const_cast<mxArray *>(data), fields.size());
    values.insert(values.begin(), duplicate(times.get()));

    static const char *const pnames[] = {"VariableNames", "RowTimes",    "DimensionNames", "VariableUnits",
                                         "VariableDescriptions", "Description", "UserData"};
    mwSize one[2] = {1, 1}, none[2] = {1, 0};
    OwnedArray pr = host_new([&] { return mxCreateStructArray(2, one, 7, const_cast<const char **>(pnames)); });
    mxSetFieldByNumber(pr.get(), 0, 0, host_new([&] { return names ? mxDuplicateArray(names) : mxCreateCellArray(2, none); }).release());
    mxSetFieldByNumber(pr.get(), 0, 1, times.release());
    mxSetFieldByNumber(pr.get(), 0, 2, copy_or(dims, empty_cell).release());
    mxSetFieldByNumber(pr.get(), 0, 3, copy_or(field_of(a, "varUnits"), empty_cell).release());
    mxSetFieldByNumber(pr.get(), 0, 4, copy_or(field_of(a, "varDescriptions"), empty_cell).release());
    mxSetFieldByNumber(pr.get(), 0, 5, copy_or(field_of(arr, "Description"), empty_text).release());
    mxSetFieldByNumber(pr.get(), 0, 6, copy_or(field_of(arr, "UserData"), empty_double).release());
    fields.insert(fields.begin(), time_name);
    fields.push_back("Properties");
    values.push_back(std::move(pr));
    return table_struct(fields, values);
}

}  // namespace mxd
