// The subsystem of a stream that holds objects.
//
// The value refers to its objects by number; everything else about them sits
// in one more top-level element after the value, a uint8 array whose bytes
// are a stream of their own:
//
//   prefix                       00 01 'I' 'M' 0 0 0 0
//   struct 1x1, field MCOS =     opaque (MCOS, FileWrapper__), content a cell K x 1:
//     cell 1      uint8 L x 1    the metadata, below
//     cell 2                     nothing of use
//     cells 3..2+P               property values, one miMATRIX each (value index 0 = cell 3)
//     last T cells               T = 3 (version 4), 2 (3), 1 (2); the last one holds the
//                                class defaults: a cell of one struct per class id
//   (more elements)              ignored
//
// The metadata, all uint32 at offsets from its first byte:
//
//    0  version (2..4)      4  number of names S      8..39  region offsets o1..o8
//   40  S names, each ended by NUL, padded to 8; o1 is where the padding ends
//   o1  classes:  records (namespace name, class name, 0, 0); record i is class id i
//   o2  blocks of type-1 properties \  a block: count k, k records
//   o4  blocks of type-2 properties /  (name, type, value), padded to 8
//   o3  objects:  records (class, 0, 0, type-1 block, type-2 block, second id)
//   o5  dynamic properties: blocks of count k and k object ids, padded to 8
//   o6..o8 unknown; o8 is the end
//
// Record 0 of each table and block 0 of each region stand for "none". Names
// are 1-based. Nothing here is trusted: every offset is checked to lie inside
// its region, every count against the bytes that are there, every index
// against the table it indexes, before anything is built from it.
#include "subsystem.h"

#include <cstring>
#include <new>

#include "array_decoder.h"
#include "inflate_element.h"
#include "stream_error.h"

namespace mxd {
namespace {

// The metadata block of cell 1, with offsets counted from its first byte.
struct Meta {
    const ByteView &v;
    size_t base;  // in the view
    size_t size;  // L

    uint32_t at(size_t off) const { return v.u32(base + off); }
    [[noreturn]] void fail(size_t off, const std::string &what) const
    {
        fail_at(base + off, v.where, "object metadata: " + what);
    }
};

std::vector<Element> cell_elements(const ByteView &v, const Element &e, const char *what)
{
    if (e.type != miMATRIX || e.count == 0)
        fail_at(e.tag_offset, v.where, std::string(what) + " is not a cell");
    size_t pos = 0;
    MatrixHeader h = read_matrix_header(v, e, pos);
    const size_t end = e.data_offset + e.count;
    if (h.cls != kCell || h.too_many) fail_at(e.tag_offset, v.where, std::string(what) + " is not a cell");
    if (h.numel > (end - pos) / 8)
        fail_at(e.tag_offset, v.where, std::string(what) + " of " + std::to_string(h.numel) +
                                           " cells in " + std::to_string(end - pos) + " bytes");
    std::vector<Element> out;
    out.reserve(static_cast<size_t>(h.numel));
    for (uint64_t i = 0; i < h.numel; ++i) {
        Element c = read_element(v, pos, end);
        if (c.type != miMATRIX)
            fail_at(c.tag_offset, v.where, std::string("a cell of ") + what + " is not miMATRIX");
        out.push_back(c);
    }
    return out;
}

// The data element of a numeric array, whatever its class says (the
// subsystem has been seen as uint8 and as double, its bytes uint8 both times).
Element byte_data(const ByteView &v, const Element &e, const char *what)
{
    if (e.type != miMATRIX || e.count == 0) fail_at(e.tag_offset, v.where, std::string(what) + " is empty");
    size_t pos = 0;
    MatrixHeader h = read_matrix_header(v, e, pos);
    const size_t end = e.data_offset + e.count;
    if (h.cls < kDouble || h.cls > kUint64 || (h.flags & 0x08))
        fail_at(e.tag_offset, v.where, std::string(what) + " is not a real numeric array");
    if (pos >= end) fail_at(pos, v.where, std::string("truncated: ") + what + " has no data");
    Element d = read_element(v, pos, end);
    if (d.type != miUINT8 && d.type != miINT8)
        fail_at(d.tag_offset, v.where, std::string(what) + " is stored as " + data_type_name(d.type) +
                                           ", not bytes");
    return d;
}

// The value of field `name` of the 1x1 struct `e`, or false when absent.
bool struct_field(const ByteView &v, const Element &e, const char *name, Element &out)
{
    size_t pos = 0;
    MatrixHeader h = read_matrix_header(v, e, pos);
    const size_t end = e.data_offset + e.count;
    if (h.cls != kStruct || h.numel != 1 || h.too_many) fail_at(e.tag_offset, v.where, "the subsystem is not a 1x1 struct");
    if (pos >= end) fail_at(pos, v.where, "truncated: subsystem struct has no field names");
    Element len = read_element(v, pos, end);
    if (len.type != miINT32 || len.count != 4) fail_at(len.tag_offset, v.where, "field-name length must be one miINT32");
    const uint32_t slot = v.u32(len.data_offset);
    if (pos >= end) fail_at(pos, v.where, "truncated: subsystem struct has no field names");
    Element names = read_element(v, pos, end);
    if ((names.type != miINT8 && names.type != miUINT8) || slot == 0 || slot > 4096 || names.count % slot != 0)
        fail_at(names.tag_offset, v.where, "bad field names in the subsystem struct");
    const size_t nfields = names.count / slot;
    size_t want = nfields;
    for (size_t f = 0; f < nfields; ++f) {
        const char *p = reinterpret_cast<const char *>(v.data + names.data_offset + f * slot);
        if (std::string(p, strnlen(p, slot)) == name) want = f;
    }
    if (want == nfields) return false;
    for (size_t f = 0; f <= want; ++f) {
        if (pos >= end) fail_at(pos, v.where, "truncated: subsystem struct lacks field values");
        out = read_element(v, pos, end);
        if (out.type != miMATRIX) fail_at(out.tag_offset, v.where, "subsystem field value is not miMATRIX");
    }
    return true;
}

// Reads the blocks of a property region [from, to): block j in out[j].
void property_blocks(const Meta &m, size_t from, size_t to, uint32_t nnames, size_t nvalues,
                     std::vector<PropertyBlock> &out)
{
    for (size_t pos = from; pos < to;) {
        if (to - pos < 4) m.fail(pos, "property block count cut off");
        const uint64_t k = m.at(pos);
        const uint64_t bytes = (4 + 12 * k + 7) / 8 * 8;
        if (bytes > to - pos) m.fail(pos, "property block of " + std::to_string(k) + " records overruns its region");
        PropertyBlock block(static_cast<size_t>(k));
        for (size_t r = 0; r < k; ++r) {
            const size_t at = pos + 4 + 12 * r;
            PropertyRecord &p = block[r];
            p = PropertyRecord{m.at(at), m.at(at + 4), m.at(at + 8)};
            if (p.name == 0 || p.name > nnames) m.fail(at, "property name index " + std::to_string(p.name) + " out of range");
            if (p.type > 2) m.fail(at + 4, "unknown property record type " + std::to_string(p.type));
            if (p.type == 1 && p.value >= nvalues)
                m.fail(at + 8, "property value index " + std::to_string(p.value) + " but " +
                                   std::to_string(nvalues) + " values");
            if (p.type == 0 && (p.value == 0 || p.value > nnames))
                m.fail(at + 8, "property name value " + std::to_string(p.value) + " out of range");
        }
        out.push_back(std::move(block));
        pos += static_cast<size_t>(bytes);
    }
}

void parse_metadata(const Meta &m, size_t ncells, Subsystem &ss)
{
    if (m.size < 40) m.fail(0, "needs 40 bytes, has " + std::to_string(m.size));
    ss.version = m.at(0);
    if (ss.version < 2 || ss.version > 4) m.fail(0, "unknown version " + std::to_string(ss.version));
    const uint32_t nnames = m.at(4);
    size_t o[8];
    for (int i = 0; i < 8; ++i) {
        o[i] = m.at(8 + 4 * i);
        if (o[i] % 4 != 0 || o[i] > m.size || (i > 0 && o[i] < o[i - 1]) || o[0] < 40)
            m.fail(8 + 4 * i, "region offset " + std::to_string(o[i]) + " out of order or outside " +
                                  std::to_string(m.size) + " bytes");
    }

    // Names: each at least its NUL, so the count is checked before anything is kept.
    if (nnames > o[0] - 40) m.fail(4, std::to_string(nnames) + " names in " + std::to_string(o[0] - 40) + " bytes");
    ss.names.assign(1, std::string());
    ss.names.reserve(nnames + 1);
    const char *text = reinterpret_cast<const char *>(m.v.data + m.base);
    for (size_t pos = 40, i = 0; i < nnames; ++i) {
        const void *nul = std::memchr(text + pos, 0, o[0] - pos);
        if (!nul) m.fail(pos, "name " + std::to_string(i + 1) + " has no NUL before the class table");
        const size_t len = static_cast<const char *>(nul) - (text + pos);
        ss.names.emplace_back(text + pos, len);
        pos += len + 1;
    }

    // T trailing cells; the rest after the first two are property values.
    const size_t trailing = ss.version == 4 ? 3 : ss.version == 3 ? 2 : 1;
    if (ncells < 2 + trailing) m.fail(0, std::to_string(ncells) + " cells, version " +
                                          std::to_string(ss.version) + " needs at least " +
                                          std::to_string(2 + trailing));
    const size_t nvalues = ncells - 2 - trailing;

    if ((o[1] - o[0]) % 16 != 0 || o[1] == o[0]) m.fail(o[0], "class table is not whole 16-byte records");
    const size_t nclasses = (o[1] - o[0]) / 16 - 1;
    ss.classes.assign(1, std::string());
    for (size_t c = 1; c <= nclasses; ++c) {
        const size_t at = o[0] + 16 * c;
        const uint32_t space = m.at(at), name = m.at(at + 4);
        if (space > nnames || name == 0 || name > nnames) m.fail(at, "class " + std::to_string(c) + " names no name");
        ss.classes.push_back(space ? ss.names[space] + "." + ss.names[name] : ss.names[name]);
    }

    property_blocks(m, o[1], o[2], nnames, nvalues, ss.type1);
    property_blocks(m, o[3], o[4], nnames, nvalues, ss.type2);
    if (ss.type1.empty()) ss.type1.emplace_back();
    if (ss.type2.empty()) ss.type2.emplace_back();

    if ((o[3] - o[2]) % 24 != 0 || o[3] == o[2]) m.fail(o[2], "object table is not whole 24-byte records");
    const size_t nobjects = (o[3] - o[2]) / 24 - 1;
    ss.objects.assign(1, ObjectRecord{});
    ss.objects.reserve(nobjects + 1);
    std::vector<uint32_t> second_id(nobjects + 1, 0);
    for (size_t i = 1; i <= nobjects; ++i) {
        const size_t at = o[2] + 24 * i;
        ObjectRecord r;
        r.cls = m.at(at);
        if (r.cls == 0 || r.cls > nclasses) m.fail(at, "object " + std::to_string(i) + " has class id " + std::to_string(r.cls));
        r.type1 = m.at(at + 12);
        r.type2 = m.at(at + 16);
        if (r.type1 >= ss.type1.size()) m.fail(at + 12, "object " + std::to_string(i) + " names a missing type-1 block");
        if (r.type2 >= ss.type2.size()) m.fail(at + 16, "object " + std::to_string(i) + " names a missing type-2 block");
        second_id[i] = m.at(at + 20);
        ss.objects.push_back(std::move(r));
    }

    // Dynamic properties: one block per object (and block 0) is indexed by
    // object id; otherwise by the second id, where an object has one.
    std::vector<std::vector<uint32_t>> &dynamic = ss.dynamic;
    for (size_t pos = o[4]; pos < o[5];) {
        if (o[5] - pos < 4) m.fail(pos, "dynamic-property count cut off");
        const uint64_t k = m.at(pos);
        const uint64_t bytes = (4 + 4 * k + 7) / 8 * 8;
        if (bytes > o[5] - pos) m.fail(pos, "dynamic-property block of " + std::to_string(k) + " ids overruns its region");
        std::vector<uint32_t> ids(static_cast<size_t>(k));
        for (size_t j = 0; j < k; ++j) {
            ids[j] = m.at(pos + 4 + 4 * j);
            if (ids[j] == 0 || ids[j] > nobjects) m.fail(pos + 4 + 4 * j, "dynamic property names object " + std::to_string(ids[j]));
        }
        dynamic.push_back(std::move(ids));
        pos += static_cast<size_t>(bytes);
    }
    const bool by_id = dynamic.size() == nobjects + 1;
    for (size_t i = 1; i <= nobjects && !dynamic.empty(); ++i) {
        const size_t b = by_id ? i : second_id[i];
        if (b == 0) continue;
        if (b >= dynamic.size()) m.fail(o[4], "object " + std::to_string(i) + " names a missing dynamic-property block");
        ss.objects[i].dynamic = static_cast<uint32_t>(b);
    }
}

}  // namespace

void parse_subsystem(const ByteView &v, size_t pos, size_t needed_at, Subsystem &ss)
{
    if (pos >= v.size)
        fail_at(needed_at, v.where, "an object, but no subsystem element follows the value");
    const size_t at = pos;
    Element outer = read_element(v, pos, v.size);
    ByteView holder = v;
    if (outer.type == miCOMPRESSED) {
        ss.inflated = inflate_element(v, outer);
        holder = ByteView{ss.inflated.data(), ss.inflated.size(), v.swap,
                          " of the data inflated from byte " + std::to_string(at) + v.where};
        size_t ipos = 0;
        outer = read_element(holder, ipos, holder.size);
    }
    if (outer.type != miMATRIX) fail_at(outer.tag_offset, holder.where, "the subsystem is not miMATRIX");
    Element data = byte_data(holder, outer, "the subsystem");

    ss.view = ByteView{holder.data + data.data_offset, data.count, false,
                       " of the subsystem, whose bytes begin at byte " + std::to_string(data.data_offset) +
                           holder.where};
    ByteView &sv = ss.view;
    if (sv.size < 16) fail_at(0, sv.where, "truncated: the subsystem needs 16 bytes");
    if (sv.data[2] == 'I' && sv.data[3] == 'M')
        sv.swap = __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__;
    else if (sv.data[2] == 'M' && sv.data[3] == 'I')
        sv.swap = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
    else
        fail_at(2, sv.where, "no byte-order mark (IM or MI)");

    size_t spos = 8;
    Element top = read_element(sv, spos, sv.size);
    if (top.type != miMATRIX || top.count == 0) fail_at(top.tag_offset, sv.where, "the subsystem holds no struct");
    Element mcos{};
    if (!struct_field(sv, top, "MCOS", mcos)) fail_at(top.tag_offset, sv.where, "the subsystem has no MCOS field");
    if (mcos.count == 0) fail_at(mcos.tag_offset, sv.where, "the subsystem's MCOS field is empty");
    size_t mpos = 0;
    MatrixHeader wh = read_matrix_header(sv, mcos, mpos);
    if (wh.cls != kOpaque || wh.type_system != "MCOS" || wh.class_name != "FileWrapper__")
        fail_at(mcos.tag_offset, sv.where, "the subsystem's MCOS field is not a FileWrapper__ object");
    const size_t mend = mcos.data_offset + mcos.count;
    if (mpos >= mend) fail_at(mpos, sv.where, "truncated: FileWrapper__ has no content");
    Element cells_el = read_element(sv, mpos, mend);
    std::vector<Element> cells = cell_elements(sv, cells_el, "FileWrapper__ content");
    if (cells.empty()) fail_at(cells_el.tag_offset, sv.where, "FileWrapper__ holds no cells");

    Element meta = byte_data(sv, cells[0], "object metadata");
    parse_metadata(Meta{sv, meta.data_offset, meta.count}, cells.size(), ss);

    const size_t trailing = ss.version == 4 ? 3 : ss.version == 3 ? 2 : 1;
    ss.values.assign(cells.begin() + 2, cells.end() - static_cast<long>(trailing));
    ss.defaults = cell_elements(sv, cells.back(), "class defaults");
    if (ss.defaults.size() < ss.classes.size())
        fail_at(cells.back().tag_offset, sv.where, "class defaults for " + std::to_string(ss.defaults.size()) +
                                                       " of " + std::to_string(ss.classes.size() - 1) + " classes");
}

}  // namespace mxd
