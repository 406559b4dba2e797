#include "inflate_element.h"

#include <zlib.h>

#include <cstring>

#include "stream_error.h"

namespace mxd {
namespace {

// Deflate cannot expand beyond about 1032:1; allow a little slack for headers.
constexpr uint64_t kMaxRatio = 1032;
constexpr uint64_t kSlack = 1024;

struct Inflater {
    z_stream z{};
    bool open = false;
    size_t in_left = 0;  // compressed bytes not yet handed to zlib
    bool ended = false;  // zlib saw the data's proper end
    ~Inflater()
    {
        if (open) inflateEnd(&z);
    }

    // Inflates into out[0..n); answers how many bytes came out before the
    // data ended, broke or filled the buffer.
    size_t fill(uint8_t *out, size_t n)
    {
        constexpr size_t kChunk = size_t(1) << 30;  // zlib counts in uInt
        size_t produced = 0;
        while (produced < n) {
            if (z.avail_in == 0 && in_left > 0) {
                uInt chunk = static_cast<uInt>(in_left > kChunk ? kChunk : in_left);
                z.avail_in = chunk;
                in_left -= chunk;
            }
            size_t want = n - produced > kChunk ? kChunk : n - produced;
            z.next_out = out + produced;
            z.avail_out = static_cast<uInt>(want);
            int rc = inflate(&z, Z_NO_FLUSH);
            size_t got = want - z.avail_out;
            produced += got;
            if (rc == Z_STREAM_END) {
                ended = true;
                break;
            }
            if (rc == Z_BUF_ERROR && z.avail_in == 0 && in_left > 0) continue;
            if (rc != Z_OK || (got == 0 && z.avail_in == 0 && in_left == 0)) break;
        }
        return produced;
    }
};

}  // namespace

std::vector<uint8_t> inflate_element(const ByteView &v, const Element &e)
{
    Inflater inf;
    if (inflateInit(&inf.z) != Z_OK) fail_at(e.tag_offset, v.where, "zlib could not start");
    inf.open = true;
    inf.z.next_in = const_cast<Bytef *>(v.data + e.data_offset);
    inf.z.avail_in = 0;
    inf.in_left = e.count;

    uint8_t tag[8];
    if (inf.fill(tag, 8) != 8)
        fail_at(e.tag_offset, v.where, "compressed data too short or corrupt before the inner tag");
    ByteView tv{tag, 8, v.swap, ""};
    uint32_t first = tv.u32(0);
    uint64_t total = (first >> 16) != 0 ? 8 : 8 + static_cast<uint64_t>(tv.u32(4));
    if (total > static_cast<uint64_t>(e.count) * kMaxRatio + kSlack)
        fail_at(e.tag_offset, v.where, "compressed element claims " + std::to_string(total) +
                                           " bytes from " + std::to_string(e.count) +
                                           " compressed bytes");

    std::vector<uint8_t> out(total);
    std::memcpy(out.data(), tag, 8);
    size_t done = 8 + inf.fill(out.data() + 8, total - 8);
    // Data that ends cleanly but short is kept: the parts inside are checked
    // one by one (Octave overstates the inner size for short char data).
    if (done < total && inf.ended) {
        out.resize(done);
        return out;
    }
    if (done != total)
        fail_at(e.tag_offset, v.where, "compressed data ends or breaks after " +
                                           std::to_string(done) + " of " + std::to_string(total) +
                                           " inflated bytes");
    return out;
}

}  // namespace mxd
