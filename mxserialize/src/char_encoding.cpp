#include "char_encoding.h"

namespace mxs {
namespace {

void push_units(std::u16string &out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// One line of bytes, `stride` apart, to UTF-16.
std::u16string decode_line(const char *p, size_t n, size_t stride)
{
    std::u16string out;
    out.reserve(n);
    auto at = [&](size_t i) { return static_cast<uint8_t>(p[i * stride]); };
    for (size_t i = 0; i < n;) {
        uint8_t b = at(i);
        size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        char32_t cp = len == 4 ? (b & 0x07) : len == 3 ? (b & 0x0F) : len == 2 ? (b & 0x1F) : b;
        bool ok = len == 1 || (b < 0xF5 && i + len <= n);
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (at(i + k) & 0xC0) == 0x80;
            cp = (cp << 6) | (at(i + k) & 0x3F);
        }
        static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (len > 1 && (!ok || cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
            out.push_back(b);  // not UTF-8: the byte as it is
            ++i;
            continue;
        }
        push_units(out, cp);
        i += len;
    }
    return out;
}

}  // namespace

bool all_ascii(const char *p, size_t n)
{
    unsigned char any = 0;
    for (size_t i = 0; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
    return any < 0x80;
}

std::u16string utf16_char_matrix(const char *p, std::vector<uint64_t> &dims)
{
    const size_t rows = static_cast<size_t>(dims[0]), cols = static_cast<size_t>(dims[1]);
    size_t pages = 1;
    for (size_t d = 2; d < dims.size(); ++d) pages *= static_cast<size_t>(dims[d]);

    std::vector<std::u16string> lines(rows * pages);
    size_t width = 0;
    for (size_t pg = 0; pg < pages; ++pg)
        for (size_t r = 0; r < rows; ++r) {
            std::u16string &line = lines[pg * rows + r];
            line = decode_line(p + pg * rows * cols + r, cols, rows);
            if (line.size() > width) width = line.size();
        }
    std::u16string out(rows * width * pages, u' ');
    for (size_t pg = 0; pg < pages; ++pg)
        for (size_t r = 0; r < rows; ++r) {
            const std::u16string &line = lines[pg * rows + r];
            for (size_t c = 0; c < line.size(); ++c) out[pg * rows * width + c * rows + r] = line[c];
        }
    dims[1] = width;
    return out;
}

}  // namespace mxs
