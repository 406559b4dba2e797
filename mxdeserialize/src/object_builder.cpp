// Resolving references. A reference is a uint32 column
//
//   0xDD000000, d, d sizes, n object ids (1-based, column-major), class id
//
// which the value holds inside an opaque array and property values hold bare.
// A bare one is told from a genuine uint32 column only by content, so it is
// taken as a reference only when every word fits the object table. An object
// is built each time it is referenced (copies in MATLAB are separate objects
// anyway; a handle seen twice gives two equal values); meeting an object that
// is still being built is a cycle, cut with []. All decoding done for objects
// is charged to a budget scaled to the input, so sharing cannot multiply a
// small stream into an unbounded amount of work.
#include "object_builder.h"

#include "mx_access.h"
#include "stream_error.h"

namespace mxd {
namespace {

constexpr uint32_t kObjectMarker = 0xDD000000;
constexpr uint64_t kPerObject = 64;  // charged for an object beyond its bytes

// Replaces the child of `a` at slot `i` (a cell index, or element * fields +
// field of a struct) by `v`, destroying the old one.
void replace_child(mxArray *a, size_t slot, OwnedArray v)
{
    if (mxGetClassID(a) == mxCELL_CLASS) {
        mxArray *old = mxGetCell(a, static_cast<mwIndex>(slot));
        mxSetCell(a, static_cast<mwIndex>(slot), nullptr);
        if (old) mxDestroyArray(old);
        mxSetCell(a, static_cast<mwIndex>(slot), v.release());
    } else {
        const int nf = mxGetNumberOfFields(a);
        const mwIndex e = static_cast<mwIndex>(slot / nf);
        const int f = static_cast<int>(slot % nf);
        mxArray *old = mxGetFieldByNumber(a, e, f);
        mxSetFieldByNumber(a, e, f, nullptr);
        if (old) mxDestroyArray(old);
        mxSetFieldByNumber(a, e, f, v.release());
    }
}

}  // namespace

void Properties::set(const std::string &name, OwnedArray value)
{
    // Last wins: a name saved twice keeps its first place and its last value.
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) {
            values[i] = std::move(value);
            return;
        }
    names.push_back(name);
    values.push_back(std::move(value));
}

const mxArray *Properties::get(const std::string &name) const
{
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return values[i].get();
    return nullptr;
}

ObjectBuilder::ObjectBuilder(DecodeContext &ctx, const ByteView &outer, size_t subsystem_at, size_t input_bytes)
    : ctx_(ctx), outer_(outer), subsystem_at_(subsystem_at),
      budget_((uint64_t(1) << 24) + 64 * uint64_t(input_bytes))
{
}

ObjectBuilder::~ObjectBuilder() = default;

void ObjectBuilder::charge(uint64_t units, const Where &w)
{
    if (units > budget_)
        fail_at(w.at, w.where, "objects referenced so often that decoding them would not end in reasonable time");
    budget_ -= units;
}

const Subsystem &ObjectBuilder::subsystem(const Where &w)
{
    if (!ss_) {
        auto ss = std::make_unique<Subsystem>();
        parse_subsystem(outer_, subsystem_at_, w.at, *ss);
        state_.assign(ss->objects.size(), kUnbuilt);
        defaults_state_.assign(ss->classes.size(), kUnbuilt);
        defaults_.resize(ss->classes.size());
        ss_ = std::move(ss);
    }
    return *ss_;
}

bool ObjectBuilder::is_reference(const mxArray *a) const
{
    if (!ss_ || mxGetClassID(a) != mxUINT32_CLASS || mxIsComplex(a) || mxIsSparse(a) ||
        mxGetNumberOfDimensions(a) != 2 || mxGetDimensions(a)[1] != 1)
        return false;
    const size_t n = mxGetNumberOfElements(a);
    const uint32_t *w = static_cast<const uint32_t *>(mxGetData(a));
    if (n < 5 || w[0] != kObjectMarker) return false;
    const uint64_t d = w[1];
    if (d < 2 || 3 + d > n) return false;
    uint64_t count = 1;
    for (uint64_t k = 0; k < d; ++k) {
        if (w[2 + k] != 0 && count > (n - 3 - d) / w[2 + k]) return false;
        count *= w[2 + k];
    }
    if (count != n - 3 - d) return false;
    const uint32_t cls = w[n - 1];
    if (cls == 0 || cls >= ss_->classes.size()) return false;
    for (uint64_t k = 0; k < count; ++k) {
        const uint32_t id = w[2 + d + k];
        if (id >= ss_->objects.size() || (id != 0 && ss_->objects[id].cls != cls)) return false;
    }
    return true;
}

bool ObjectBuilder::is_enumeration(const mxArray *a) const
{
    uint32_t tag = 0;
    return is_struct1(a) && mxGetNumberOfFields(a) > 0 &&
           std::strcmp(mxGetFieldNameByNumber(a, 0), "EnumerationInstanceTag") == 0 &&
           uint32_scalar(mxGetFieldByNumber(a, 0, 0), tag) && tag == kObjectMarker;
}

OwnedArray ObjectBuilder::opaque(OwnedArray raw, const std::string &class_name, const Where &w, int depth)
{
    subsystem(w);
    if (is_enumeration(raw.get())) return enumeration(raw.get(), w, depth);
    if (!is_reference(raw.get()))
        fail_at(w.at, w.where, "object of class '" + class_name +
                                   "' holds no valid reference to the subsystem's objects");
    return reference(raw.get(), w, depth);
}

OwnedArray ObjectBuilder::resolve(OwnedArray a, const Where &w, int depth)
{
    if (depth > kMaxDepth) fail_at(w.at, w.where, "objects nested deeper than " + std::to_string(kMaxDepth));
    if (!a.get()) return a;
    if (is_reference(a.get())) return reference(a.get(), w, depth + 1);
    if (is_enumeration(a.get())) return enumeration(a.get(), w, depth + 1);
    const mxClassID cls = mxGetClassID(a.get());
    size_t slots = 0;
    if (cls == mxCELL_CLASS) slots = mxGetNumberOfElements(a.get());
    if (cls == mxSTRUCT_CLASS && mxGetNumberOfFields(a.get()) > 0)
        slots = mxGetNumberOfElements(a.get()) * static_cast<size_t>(mxGetNumberOfFields(a.get()));
    for (size_t i = 0; i < slots; ++i) {
        mxArray *child;
        if (cls == mxCELL_CLASS) {
            child = mxGetCell(a.get(), static_cast<mwIndex>(i));
        } else {
            const int nf = mxGetNumberOfFields(a.get());
            child = mxGetFieldByNumber(a.get(), static_cast<mwIndex>(i / nf), static_cast<int>(i % nf));
        }
        if (!child) continue;
        const mxClassID cc = mxGetClassID(child);
        if (cc != mxCELL_CLASS && cc != mxSTRUCT_CLASS && cc != mxUINT32_CLASS) continue;
        if (cc == mxUINT32_CLASS && !is_reference(child)) continue;
        // Take the child out, resolve it, put the result back.
        if (cls == mxCELL_CLASS) {
            mxSetCell(a.get(), static_cast<mwIndex>(i), nullptr);
        } else {
            const int nf = mxGetNumberOfFields(a.get());
            mxSetFieldByNumber(a.get(), static_cast<mwIndex>(i / nf), static_cast<int>(i % nf), nullptr);
        }
        OwnedArray r = resolve(OwnedArray(child), w, depth + 1);
        replace_child(a.get(), i, std::move(r));
    }
    return a;
}

OwnedArray ObjectBuilder::reference(const mxArray *ref, const Where &w, int depth)
{
    const uint32_t *words = static_cast<const uint32_t *>(mxGetData(ref));
    const size_t n = mxGetNumberOfElements(ref);
    const uint32_t d = words[1];
    const size_t count = n - 3 - d;
    const uint32_t *ids = words + 2 + d;
    if (count == 1) {
        if (ids[0] == 0) return empty_double();
        return object(ids[0], w, depth);
    }

    // An object array: a struct array when every element is a struct,
    // else a cell of the elements' values.
    std::vector<mwSize> dims(words + 2, words + 2 + d);
    std::vector<OwnedArray> parts;
    parts.reserve(count);
    bool structs = true;
    for (size_t k = 0; k < count; ++k) {
        parts.push_back(ids[k] ? object(ids[k], w, depth) : empty_double());
        structs = structs && is_struct1(parts.back().get());
    }
    if (count == 0) {
        const std::string &cls = ss_->classes[words[n - 1]];
        ctx_.warn("bytes2value:objectAsStruct", cls, [&] {
            return "object of class '" + cls + "' returned as a struct of its properties";
        });
    }
    if (!structs) {
        OwnedArray c = host_new([&] { return mxCreateCellArray(static_cast<mwSize>(d), dims.data()); });
        for (size_t k = 0; k < count; ++k) mxSetCell(c.get(), static_cast<mwIndex>(k), parts[k].release());
        return c;
    }
    std::vector<std::string> fields;
    for (const OwnedArray &p : parts)
        for (int f = 0; f < mxGetNumberOfFields(p.get()); ++f) {
            std::string name = mxGetFieldNameByNumber(p.get(), f);
            bool seen = false;
            for (const std::string &s : fields) seen = seen || s == name;
            if (!seen) fields.push_back(name);
        }
    std::vector<const char *> fnames;
    for (const std::string &s : fields) fnames.push_back(s.c_str());
    OwnedArray out = host_new([&] { return mxCreateStructArray(static_cast<mwSize>(d), dims.data(), static_cast<int>(fields.size()),
                                       fnames.data()); });
    for (size_t k = 0; k < count; ++k) {
        mxArray *p = parts[k].get();
        for (size_t f = 0; f < fields.size(); ++f) {
            mxArray *v = nullptr;
            const int nf = mxGetNumberOfFields(p);
            for (int g = 0; g < nf && !v; ++g)
                if (fields[f] == mxGetFieldNameByNumber(p, g)) {
                    v = mxGetFieldByNumber(p, 0, g);
                    mxSetFieldByNumber(p, 0, g, nullptr);
                }
            mxSetFieldByNumber(out.get(), static_cast<mwIndex>(k), static_cast<int>(f), v ? v : empty_double().release());
        }
    }
    return out;
}

OwnedArray ObjectBuilder::object(uint32_t id, const Where &w, int depth)
{
    if (depth > kMaxDepth) fail_at(w.at, w.where, "objects nested deeper than " + std::to_string(kMaxDepth));
    if (state_[id] == kBuilding) {
        const std::string &cls = ss_->classes[ss_->objects[id].cls];
        ctx_.warn("bytes2value:cycle", cls, [&] {
            return "object of class '" + cls + "' refers back to itself; the reference is returned as []";
        });
        return empty_double();
    }
    charge(kPerObject, w);
    state_[id] = kBuilding;
    OwnedArray v = build(id, w, depth + 1);
    state_[id] = kUnbuilt;
    return v;
}

OwnedArray ObjectBuilder::decode_value(const Element &e, bool raw, int depth)
{
    const Where w{e.tag_offset, ss_->view.where};
    charge(e.count + kPerObject, w);
    ArrayDecoder d(ss_->view, ctx_, ArrayDecoder::kRaw);
    size_t next = 0;
    OwnedArray a = d.decode(e, depth + 1, next);
    return raw ? std::move(a) : resolve(std::move(a), w, depth + 1);
}

Properties ObjectBuilder::properties(uint32_t id, bool raw, const Where &w, int depth)
{
    const Subsystem &ss = *ss_;
    const ObjectRecord &rec = ss.objects[id];
    Properties p;

    // Class defaults, decoded once per class and copied into each object.
    const uint32_t cls = rec.cls;
    if (defaults_state_[cls] == kUnbuilt) {
        defaults_state_[cls] = kBuilding;
        OwnedArray d = decode_value(ss.defaults[cls], false, depth);
        if (mxGetClassID(d.get()) != mxSTRUCT_CLASS || mxGetNumberOfElements(d.get()) > 1)
            fail_at(ss.defaults[cls].tag_offset, ss.view.where,
                    "the defaults of class '" + ss.classes[cls] + "' are not a struct");
        defaults_[cls] = std::move(d);
        defaults_state_[cls] = kBuilt;
    } else if (defaults_state_[cls] == kBuilding) {
        ctx_.warn("bytes2value:cycle", ss.classes[cls], [&] {
            return "the defaults of class '" + ss.classes[cls] + "' refer to an object of that class; it is built without them";
        });
    }
    if (defaults_state_[cls] == kBuilt && mxGetNumberOfElements(defaults_[cls].get()) == 1) {
        const mxArray *d = defaults_[cls].get();
        for (int f = 0; f < mxGetNumberOfFields(d); ++f) {
            const mxArray *v = mxGetFieldByNumber(d, 0, f);
            OwnedArray copy = v ? duplicate(v) : empty_double();
            charge(kPerObject, w);
            p.set(mxGetFieldNameByNumber(d, f), std::move(copy));
        }
    }

    for (const PropertyBlock *block : {&ss.type1[rec.type1], &ss.type2[rec.type2]}) {
        for (const PropertyRecord &r : *block) {
            const std::string &name = ss.names[r.name];
            if (name.empty()) fail_at(w.at, w.where, "object " + std::to_string(id) + " has a property with no name");
            OwnedArray v;
            if (r.type == 1) {
                v = decode_value(ss.values[r.value], raw, depth);
            } else if (r.type == 2) {
                // The stream does not say which class the integer had.
                mwSize one[2] = {1, 1};
                v = host_new([&] { return mxCreateUninitNumericArray(2, one, mxDOUBLE_CLASS, mxREAL); });
                *static_cast<double *>(mxGetData(v.get())) = r.value;
            } else {
                v = text_array(ss.names[r.value]);
            }
            p.set(name, std::move(v));
        }
    }

    // Dynamic properties are objects of their own that name the property
    // and hold its value.
    for (uint32_t dyn : ss.dynamic.empty() ? std::vector<uint32_t>() : ss.dynamic[rec.dynamic]) {
        if (state_[dyn] == kBuilding) {
            ctx_.warn("bytes2value:cycle", ss.classes[rec.cls], [&] {
                return "object of class '" + ss.classes[rec.cls] + "' lists itself among its dynamic properties";
            });
            continue;
        }
        charge(kPerObject, w);
        state_[dyn] = kBuilding;
        Properties dp = properties(dyn, false, w, depth + 1);
        state_[dyn] = kUnbuilt;
        std::string name;
        // A NUL would end the field name early: "a\0b" is no name.
        if (!text_of(dp.get("DynamicName_"), name) || name.empty() || name.find('\0') != std::string::npos)
            fail_at(w.at, w.where, "dynamic property object " + std::to_string(dyn) + " has no name");
        const mxArray *v = dp.get("DynamicValue_");
        p.set(name, v ? duplicate(v) : empty_double());
    }
    return p;
}

}  // namespace mxd
