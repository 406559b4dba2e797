// What each MATLAB class becomes in Octave, from its properties: strings are
// char rows or cellstrs, containers.Map and dictionary become Octave's
// containers.Map, function handles are rebuilt by the host, enumeration
// members are their names, and every other object is a struct of its
// properties (the class cannot be rebuilt without its definition).
#include <cctype>
#include <cstring>

#include "mx_access.h"
#include "mxdeserialize/mxdeserialize.h"
#include "object_builder.h"
#include "stream_error.h"
#include "text_decode.h"

namespace mxd {
namespace {

constexpr uint64_t kMissingString = ~uint64_t(0);

// `n` UTF-16 code units, little-endian, from `p`, as UTF-8 (unpaired
// surrogates become U+FFFD).
std::string utf16_to_utf8(const uint8_t *p, size_t n)
{
    std::string s;
    s.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t u = char32_t(p[2 * i] | p[2 * i + 1] << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            char32_t lo = char32_t(p[2 * i + 2] | p[2 * i + 3] << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        append_utf8(s, u);
    }
    return s;
}

bool is_identifier(const std::string &s)
{
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])))) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

bool is_real_numeric(const mxArray *a)
{
    const mxClassID c = mxGetClassID(a);
    return c >= mxDOUBLE_CLASS && c <= mxUINT64_CLASS && !mxIsComplex(a) && !mxIsSparse(a);
}

bool is_text_row(const mxArray *a)
{
    std::string s;
    return text_of(a, s);
}

OwnedArray call_host(const char *function, std::vector<mxArray *> args)
{
    return OwnedArray(mxdeserialize_call(function, static_cast<int>(args.size()), args.data()));
}

}  // namespace

OwnedArray ObjectBuilder::build(uint32_t id, const Where &w, int depth)
{
    const std::string &cls = ss_->classes[ss_->objects[id].cls];
    if (cls == "string") {
        Properties p = properties(id, true, w, depth);
        return string_value(p.get("any"), w);
    }
    if (cls == "containers.Map") {
        Properties p = properties(id, false, w, depth);
        return map_value(p.get("serialization"), w);
    }
    if (cls == "dictionary") {
        Properties p = properties(id, true, w, depth);
        return dictionary_value(id, p, w, depth);
    }
    if (cls == "function_handle_workspace") {
        // A cell of a placeholder reference and a struct of the captured variables.
        Properties p = properties(id, true, w, depth);
        const mxArray *any = p.get("any");
        if (!any || mxGetClassID(any) != mxCELL_CLASS || mxGetNumberOfElements(any) != 2 ||
            !is_struct1(mxGetCell(any, 1)))
            fail_at(w.at, w.where, "a function handle's workspace is not a cell of 2 holding a struct");
        return resolve(duplicate((mxGetCell(any, 1))), w, depth);
    }
    if (cls == "datetime" || cls == "duration" || cls == "calendarDuration" || cls == "categorical" ||
        cls == "table") {
        Properties p = properties(id, false, w, depth);
        if (cls == "datetime") return datetime_value(p, w);
        if (cls == "duration") return duration_value(p, w);
        if (cls == "calendarDuration") return calendar_duration_value(p, w);
        if (cls == "categorical") return categorical_value(p, w);
        return table_value(p, w);
    }
    if (cls == "timetable") {
        Properties p = properties(id, true, w, depth);
        return timetable_value(p, w, depth);
    }
    if (cls == "function_handle_object") {
        Properties p = properties(id, true, w, depth);
        return function_handle(p.get("any"), w, depth);
    }
    Properties p = properties(id, false, w, depth);
    return struct_fallback(cls, p);
}

OwnedArray ObjectBuilder::struct_fallback(const std::string &cls, Properties &p)
{
    ctx_.warn("bytes2value:objectAsStruct", cls, [&] {
        return "object of class '" + cls + "' returned as a struct of its properties";
    });
    std::vector<const char *> names;
    for (const std::string &n : p.names) names.push_back(n.c_str());
    mwSize one[2] = {1, 1};
    OwnedArray s = host_new([&] { return mxCreateStructArray(2, one, static_cast<int>(names.size()), names.data()); });
    for (size_t f = 0; f < p.values.size(); ++f)
        mxSetFieldByNumber(s.get(), 0, static_cast<int>(f),
                           p.values[f].get() ? p.values[f].release() : empty_double().release());
    return s;
}

// string: uint64 words 1 (format), d, d sizes, n lengths in UTF-16 units,
// then the units of all strings back to back, padded to a whole word.
OwnedArray ObjectBuilder::string_value(const mxArray *any, const Where &w)
{
    if (!any || mxGetClassID(any) != mxUINT64_CLASS || mxIsComplex(any))
        fail_at(w.at, w.where, "a string object without its uint64 data");
    const uint64_t nw = mxGetNumberOfElements(any);
    const uint64_t *words = static_cast<const uint64_t *>(mxGetData(any));
    if (nw < 2 || words[0] != 1)
        fail_at(w.at, w.where, "string data of unknown format " + std::to_string(nw ? words[0] : 0));
    const uint64_t d = words[1];
    if (d < 2 || d > nw - 2) fail_at(w.at, w.where, "string data with " + std::to_string(d) + " dimensions");
    std::vector<mwSize> dims(static_cast<size_t>(d));
    uint64_t n = 1;
    for (uint64_t k = 0; k < d; ++k) {
        const uint64_t s = words[2 + k];
        if (s > nw || (s != 0 && n > nw / s)) fail_at(w.at, w.where, "string array sizes exceed its data");
        n *= s;
        dims[k] = static_cast<mwSize>(s);
    }
    if (n > nw - 2 - d) fail_at(w.at, w.where, "string array of " + std::to_string(n) + " strings exceeds its data");
    const uint64_t *lengths = words + 2 + d;
    const uint64_t units = (nw - 2 - d - n) * 4;
    uint64_t total = 0;
    for (uint64_t k = 0; k < n; ++k) {
        if (lengths[k] == kMissingString) continue;
        if (lengths[k] > units - total) fail_at(w.at, w.where, "string lengths exceed the characters stored");
        total += lengths[k];
    }
    const uint8_t *chars = reinterpret_cast<const uint8_t *>(lengths + n);

    bool scalar = n == 1;
    for (mwSize s : dims) scalar = scalar && s == 1;
    if (scalar)
        return (text_array(lengths[0] == kMissingString ? std::string() : utf16_to_utf8(chars, lengths[0])));
    OwnedArray c = host_new([&] { return mxCreateCellArray(static_cast<mwSize>(d), dims.data()); });
    uint64_t at = 0;
    for (uint64_t k = 0; k < n; ++k) {
        std::string s;
        if (lengths[k] != kMissingString) {
            s = utf16_to_utf8(chars + 2 * at, lengths[k]);
            at += lengths[k];
        }
        mxSetCell(c.get(), static_cast<mwIndex>(k), text_array(s).release());
    }
    return c;
}

OwnedArray ObjectBuilder::map_value(const mxArray *s, const Where &w)
{
    mxArray *keys = field_of(s, "keys"), *values = field_of(s, "values");
    mxArray *key_type = field_of(s, "keyType"), *value_type = field_of(s, "valueType");
    if (!is_struct1(s) || !keys || !values || mxGetClassID(keys) != mxCELL_CLASS ||
        mxGetClassID(values) != mxCELL_CLASS || mxGetNumberOfElements(keys) != mxGetNumberOfElements(values) ||
        !is_text_row(key_type) || !is_text_row(value_type))
        fail_at(w.at, w.where, "containers.Map without matching keys, values and types");
    OwnedArray m = call_host("__bytes2value_map__", {key_type, value_type, keys, values});
    if (!m.get()) fail_at(w.at, w.where, "containers.Map whose keys or types Octave refuses");
    return m;
}

// A dictionary becomes a containers.Map when its keys are all text or all
// real numeric scalars; otherwise it keeps its properties as a struct.
OwnedArray ObjectBuilder::dictionary_value(uint32_t, Properties &p, const Where &w, int depth)
{
    const mxArray *data = p.get("data");
    if (!is_struct1(data)) fail_at(w.at, w.where, "a dictionary without its data struct");
    const mxArray *unconfigured = field_of(data, "Unconfigured");
    if (unconfigured && !field_of(data, "Key")) {
        OwnedArray kt(text_array("char")), vt(text_array("any"));
        mwSize empty[2] = {1, 0};
        OwnedArray none = host_new([&] { return mxCreateCellArray(2, empty); });
        OwnedArray none2 = host_new([&] { return mxCreateCellArray(2, empty); });
        OwnedArray m = call_host("__bytes2value_map__", {kt.get(), vt.get(), none.get(), none2.get()});
        if (!m.get()) fail_at(w.at, w.where, "Octave could not make an empty containers.Map");
        return m;
    }
    const mxArray *key = field_of(data, "Key"), *value = field_of(data, "Value");
    if (!key || !value) fail_at(w.at, w.where, "a dictionary without Key and Value");

    auto is_string_ref = [&](const mxArray *a) {
        if (!is_reference(a)) return false;
        const uint32_t *words = static_cast<const uint32_t *>(mxGetData(a));
        return ss_->classes[words[mxGetNumberOfElements(a) - 1]] == "string";
    };
    const bool key_strings = is_string_ref(key), value_strings = is_string_ref(value);
    const bool value_numeric = is_real_numeric(value) && !is_reference(value);
    OwnedArray keys = resolve(duplicate((key)), w, depth);
    OwnedArray values = resolve(duplicate((value)), w, depth);

    // Keys: text (resolved strings, char rows, cells of them) or numbers.
    const mxArray *k = keys.get();
    bool text = key_strings || is_text_row(k), numbers = !key_strings && is_real_numeric(k);
    if (!text && !numbers && mxGetClassID(k) == mxCELL_CLASS) {
        const size_t n = mxGetNumberOfElements(k);
        bool all_text = true, all_numbers = true;
        for (size_t i = 0; i < n; ++i) {
            const mxArray *e = mxGetCell(k, static_cast<mwIndex>(i));
            all_text = all_text && e && is_text_row(e);
            all_numbers = all_numbers && e && is_real_numeric(e) && mxGetNumberOfElements(e) == 1;
        }
        text = all_text && n > 0;
        numbers = all_numbers && n > 0;
    }
    const size_t nkeys = mxGetClassID(k) == mxCELL_CLASS || numbers ? mxGetNumberOfElements(k) : 1;
    const size_t nvalues = mxGetClassID(values.get()) == mxCELL_CLASS || value_numeric
                               ? mxGetNumberOfElements(values.get()) : 1;
    if (nkeys != nvalues)
        fail_at(w.at, w.where, "a dictionary of " + std::to_string(nkeys) + " keys and " +
                                   std::to_string(nvalues) + " values");
    if (text || numbers) {
        OwnedArray kt(text_array(text ? "char" : "double"));
        OwnedArray vt(text_array(value_numeric ? "double" : value_strings ? "char" : "any"));
        OwnedArray m = call_host("__bytes2value_map__", {kt.get(), vt.get(), keys.get(), values.get()});
        if (!m.get()) fail_at(w.at, w.where, "a dictionary whose keys or values Octave refuses");
        return m;
    }
    Properties fallback;
    for (size_t i = 0; i < p.names.size(); ++i)
        fallback.set(p.names[i], resolve(std::move(p.values[i]), w, depth));
    return struct_fallback("dictionary", fallback);
}

OwnedArray ObjectBuilder::enumeration(const mxArray *s, const Where &w, int)
{
    const Subsystem &ss = *ss_;
    uint32_t cls = 0;
    const mxArray *names = field_of(s, "ValueNames"), *indices = field_of(s, "ValueIndices");
    if (!uint32_scalar(field_of(s, "ClassName"), cls) || cls == 0 || cls >= ss.classes.size() || !names ||
        !indices || mxGetClassID(names) != mxUINT32_CLASS || mxGetClassID(indices) != mxUINT32_CLASS)
        fail_at(w.at, w.where, "an enumeration without its class, names and indices");
    const size_t m = mxGetNumberOfElements(names), n = mxGetNumberOfElements(indices);
    const uint32_t *name_ids = static_cast<const uint32_t *>(mxGetData(names));
    const uint32_t *idx = static_cast<const uint32_t *>(mxGetData(indices));
    for (size_t i = 0; i < m; ++i)
        if (name_ids[i] == 0 || name_ids[i] >= ss.names.size())
            fail_at(w.at, w.where, "an enumeration member name index out of range");
    for (size_t i = 0; i < n; ++i)
        if (idx[i] >= m) fail_at(w.at, w.where, "an enumeration index past its " + std::to_string(m) + " members");
    const std::string &cname = ss.classes[cls];
    ctx_.warn("bytes2value:objectAsStruct", cname, [&] {
        return "enumeration of class '" + cname + "' returned as the names of its members";
    });
    if (n == 1) return (text_array(ss.names[name_ids[idx[0]]]));
    OwnedArray c = host_new([&] { return mxCreateCellArray(mxGetNumberOfDimensions(indices), mxGetDimensions(indices)); });
    for (size_t i = 0; i < n; ++i) mxSetCell(c.get(), static_cast<mwIndex>(i), text_array(ss.names[name_ids[idx[i]]]).release());
    return c;
}

OwnedArray ObjectBuilder::workspace(const mxArray *ws, const Where &w, int depth)
{
    if (!ws || (mxGetClassID(ws) == mxDOUBLE_CLASS && mxGetNumberOfElements(ws) == 0)) {
        mwSize one[2] = {1, 1};
        return host_new([&] { return mxCreateStructArray(2, one, 0, nullptr); });
    }
    subsystem(w);
    OwnedArray v = is_reference(ws) ? reference(ws, w, depth) : resolve(duplicate((ws)), w, depth);
    if (!is_struct1(v.get())) {
        // A workspace cut by a cycle, or id 0: nothing captured can be told.
        mwSize one[2] = {1, 1};
        return host_new([&] { return mxCreateStructArray(2, one, 0, nullptr); });
    }
    return v;
}

OwnedArray ObjectBuilder::function_handle(const mxArray *s, const Where &w, int depth)
{
    const mxArray *fh = field_of(s, "function_handle");
    std::string function, type;
    if (!is_struct1(fh) || !text_of(field_of(fh, "function"), function) || !text_of(field_of(fh, "type"), type) ||
        function.empty())
        fail_at(w.at, w.where, "a function handle without its function and type");

    if (type == "anonymous") {
        // The text behind a counter prefix, sf%N.
        std::string text = function;
        if (text.compare(0, 3, "sf%") == 0) {
            size_t i = 3;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
            text.erase(0, i);
        }
        if (text.empty() || text[0] != '@') fail_at(w.at, w.where, "an anonymous function whose text is not @(...)");
        OwnedArray captured = workspace(field_of(fh, "workspace"), w, depth);
        for (int f = 0; f < mxGetNumberOfFields(captured.get()); ++f)
            if (!is_identifier(mxGetFieldNameByNumber(captured.get(), f)))
                fail_at(w.at, w.where, std::string("an anonymous function captures '") +
                                           mxGetFieldNameByNumber(captured.get(), f) + "', not a variable name");
        OwnedArray t(text_array(text));
        OwnedArray h = call_host("__bytes2value_anonymous__", {t.get(), captured.get()});
        if (h.get()) return h;
        ctx_.warn("bytes2value:approximateHandle", text, [&] {
            return "anonymous function '" + text + "' cannot be rebuilt here; its text is returned";
        });
        return t;
    }

    // A handle to a named function keeps its name; any other kind loses the
    // scope it was made in and becomes a handle to the last part of its name.
    std::string name = function;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.' && c != '/')
            fail_at(w.at, w.where, "a function handle to '" + function + "', which is not a function name");
    if (type != "simple") {
        const size_t cut = name.find_last_of("/.");
        if (cut != std::string::npos) name.erase(0, cut + 1);
        ctx_.warn("bytes2value:approximateHandle", function, [&] {
            return "function handle to '" + function + "' (" + type + ") returned as a handle to '" + name + "'";
        });
    }
    if (!is_identifier(name.substr(name.find_last_of('.') == std::string::npos ? 0 : name.find_last_of('.') + 1)))
        fail_at(w.at, w.where, "a function handle to '" + function + "', which is not a function name");
    OwnedArray t(text_array(type == "simple" ? name : "@" + name));
    OwnedArray h = call_host("str2func", {t.get()});
    if (!h.get()) fail_at(w.at, w.where, "a function handle to '" + function + "', which Octave refuses");
    return h;
}

}  // namespace mxd
