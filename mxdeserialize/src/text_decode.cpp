#include "text_decode.h"

#include "numeric_convert.h"
#include "stream_error.h"

namespace mxd {
namespace {

void push_code_point(std::u16string &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void decode_utf8(const ByteView &v, const Element &e, std::u16string &out)
{
    const uint8_t *p = v.data + e.data_offset;
    size_t n = e.count;
    for (size_t i = 0; i < n;) {
        uint8_t b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        char32_t cp = len == 4 ? (b & 0x07) : len == 3 ? (b & 0x0F) : (b & 0x1F);
        bool ok = len != 0 && b < 0xF5 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            fail_at(e.data_offset + i, v.where, "invalid UTF-8 in char data");
        push_code_point(out, cp);
        i += len;
    }
}

}  // namespace

std::u16string decode_char_units(const ByteView &v, const Element &e)
{
    const uint8_t *p = v.data + e.data_offset;
    std::u16string out;
    switch (e.type) {
    case miUTF8:
        out.reserve(e.count);
        decode_utf8(v, e, out);
        break;
    case miUTF16:
    case miUINT16:
    case miINT16:
        if (e.count % 2 != 0) fail_at(e.tag_offset, v.where, "odd byte count in 16-bit char data");
        out.resize(e.count / 2);
        for (size_t i = 0; i < out.size(); ++i) out[i] = load_value<char16_t>(p + 2 * i, v.swap);
        break;
    case miUTF32:
    case miUINT32:
    case miINT32:
        if (e.count % 4 != 0) fail_at(e.tag_offset, v.where, "byte count of 32-bit char data not a multiple of 4");
        out.reserve(e.count / 4);
        for (size_t i = 0; i < e.count / 4; ++i) {
            char32_t cp = load_value<char32_t>(p + 4 * i, v.swap);
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                fail_at(e.data_offset + 4 * i, v.where, "invalid code point in UTF-32 char data");
            push_code_point(out, cp);
        }
        break;
    case miUINT8:
    case miINT8:
        out.assign(p, p + e.count);
        break;
    default:
        fail_at(e.tag_offset, v.where, std::string("char data stored as ") + data_type_name(e.type));
    }
    return out;
}

void append_utf8(std::string &s, char32_t cp)
{
    if (cp < 0x80) {
        s.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string utf8_char_matrix(const std::u16string &units, size_t rows, size_t &width)
{
    size_t cols = rows ? units.size() / rows : 0;
    std::vector<std::string> text(rows);
    width = 0;
    for (size_t r = 0; r < rows; ++r) {
        std::string &s = text[r];
        for (size_t c = 0; c < cols; ++c) {
            char32_t cp = units[r + c * rows];
            if (cp >= 0xD800 && cp <= 0xDBFF && c + 1 < cols) {
                char32_t lo = units[r + (c + 1) * rows];
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++c;
                }
            }
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
            append_utf8(s, cp);
        }
        if (s.size() > width) width = s.size();
    }
    std::string out(rows * width, ' ');
    for (size_t r = 0; r < rows; ++r)
        for (size_t c = 0; c < text[r].size(); ++c) out[r + c * rows] = text[r][c];
    return out;
}

}  // namespace mxd
