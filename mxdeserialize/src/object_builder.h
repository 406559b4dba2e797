// Turns the stream's references to objects into Octave values: finds each
// object in the subsystem, gathers its properties (class defaults overlaid by
// its saved values, then its dynamic properties) and makes the value that its
// class stands for. Each object is built once and copied where it is shared.
#ifndef MXDESERIALIZE_OBJECT_BUILDER_H
#define MXDESERIALIZE_OBJECT_BUILDER_H

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "array_decoder.h"
#include "decode_context.h"
#include "subsystem.h"

namespace mxd {

// An object's properties in the order they are to appear.
struct Properties {
    std::vector<std::string> names;
    std::vector<OwnedArray> values;

    void set(const std::string &name, OwnedArray value);
    const mxArray *get(const std::string &name) const;
};

class ObjectBuilder {
public:
    // The subsystem, if any, is the element at `subsystem_at` of `outer`;
    // it is read only when an object needs it. `input_bytes` sets how much
    // work sharing may cause.
    ObjectBuilder(DecodeContext &ctx, const ByteView &outer, size_t subsystem_at, size_t input_bytes);
    ~ObjectBuilder();

    // The value of an MCOS opaque array whose content (decoded raw) is `raw`.
    OwnedArray opaque(OwnedArray raw, const std::string &class_name, const Where &w, int depth);

    // A function handle from the struct that a class-16 array holds.
    OwnedArray function_handle(const mxArray *s, const Where &w, int depth);

private:
    enum State : uint8_t { kUnbuilt, kBuilding, kBuilt };

    const Subsystem &subsystem(const Where &w);
    bool is_reference(const mxArray *a) const;
    bool is_enumeration(const mxArray *a) const;
    OwnedArray reference(const mxArray *ref, const Where &w, int depth);
    OwnedArray enumeration(const mxArray *s, const Where &w, int depth);
    OwnedArray resolve(OwnedArray a, const Where &w, int depth);
    OwnedArray object(uint32_t id, const Where &w, int depth);
    OwnedArray build(uint32_t id, const Where &w, int depth);
    Properties properties(uint32_t id, bool raw, const Where &w, int depth);
    OwnedArray decode_value(const Element &e, bool raw, int depth);
    OwnedArray struct_fallback(const std::string &cls, Properties &p);
    OwnedArray string_value(const mxArray *any, const Where &w);
    OwnedArray map_value(const mxArray *s, const Where &w);
    OwnedArray dictionary_value(uint32_t id, Properties &p, const Where &w, int depth);
    OwnedArray workspace(const mxArray *ref, const Where &w, int depth);
    std::string reference_class(const mxArray *a) const;
    OwnedArray datetime_value(const Properties &p, const Where &w);
    OwnedArray duration_value(const Properties &p, const Where &w);
    OwnedArray calendar_duration_value(const Properties &p, const Where &w);
    OwnedArray categorical_value(const Properties &p, const Where &w);
    void check_variables(const mxArray *names, const mxArray *data, double nvars, double nrows,
                         const std::set<std::string> &taken, std::vector<std::string> &out, const Where &w);
    OwnedArray table_struct(const std::vector<std::string> &names, std::vector<OwnedArray> &values);
    OwnedArray table_value(Properties &p, const Where &w);
    OwnedArray row_times(const mxArray *rt, double nrows, const Where &w, int depth);
    OwnedArray timetable_value(Properties &p, const Where &w, int depth);
    void charge(uint64_t units, const Where &w);

    DecodeContext &ctx_;
    const ByteView &outer_;
    size_t subsystem_at_;
    uint64_t budget_;
    std::unique_ptr<Subsystem> ss_;
    std::vector<State> state_;
    std::vector<OwnedArray> built_;
    std::vector<uint64_t> cost_;
    std::vector<State> defaults_state_;
    std::vector<OwnedArray> defaults_;
};

}  // namespace mxd

#endif
