// The record line of a WFDB header file.
//
// A header file is text: lines end in LF (a CR may precede it), fields are
// separated by spaces or tabs, and lines whose first printing character is
// '#' are comments.  The first line that is neither empty nor a comment is
// the record line:
//
//   100/2  3  360/24000(0)  650000  17:27:45.5  15/08/1994
//   |   |  |  |   |     |   |       |           |
//   |   |  |  |   |     |   |       |           base date DD/MM/YYYY  (optional)
//   |   |  |  |   |     |   |       base time HH:MM:SS[.s]  (optional)
//   |   |  |  |   |     |   number of samples  (optional)
//   |   |  |  |   |     base counter value  (optional, only after a counter frequency)
//   |   |  |  |   counter frequency  (optional)
//   |   |  |  sampling frequency, samples per second per signal  (optional: 250)
//   |   |  number of signals
//   |   number of segments  (optional)
//   record name
//
// Each optional field needs the ones before it.  The lines after the record
// line (signals, segments, info) say nothing about the clock and are not
// read.  Every field is checked before it is used: a number is plain
// decimal digits with at most one point, never trusted beyond a sane range,
// and a header that breaks any of this is refused as a whole rather than
// half believed.
#include "record_header.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Field {
    const char *p;
    size_t n;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal number: digits, at most one point, at least one digit, and
// nothing else.  Answers the number of characters taken (0: none).
size_t take_decimal(const char *p, size_t n, double *out)
{
    size_t i = 0, digits = 0;
    bool point = false;
    double v = 0, scale = 1;
    for (; i < n; i++) {
        if (is_digit(p[i])) {
            digits++;
            if (point) {
                scale /= 10;
                v += (p[i] - '0') * scale;
            } else {
                v = v * 10 + (p[i] - '0');
            }
        } else if (p[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0 || !std::isfinite(v)) return 0;
    *out = v;
    return i;
}

// An unsigned integer of at most max_digits digits filling the field.
bool whole_number(Field f, size_t max_digits, long long *out)
{
    if (f.n == 0 || f.n > max_digits) return false;
    long long v = 0;
    for (size_t i = 0; i < f.n; i++) {
        if (!is_digit(f.p[i])) return false;
        v = v * 10 + (f.p[i] - '0');
    }
    *out = v;
    return true;
}

// Splits f at each sep; answers the parts.
std::vector<Field> split(Field f, char sep)
{
    std::vector<Field> parts;
    size_t start = 0;
    for (size_t i = 0; i <= f.n; i++)
        if (i == f.n || f.p[i] == sep) {
            parts.push_back({f.p + start, i - start});
            start = i + 1;
        }
    return parts;
}

// Sampling frequency, then optionally "/counter frequency" and
// "(base counter value)".
std::string frequencies(Field f, RecordHeader *h)
{
    size_t i = take_decimal(f.p, f.n, &h->sampfreq);
    if (i == 0) return "the sampling frequency is not a number";
    if (!(h->sampfreq > 0) || h->sampfreq > 1e12) return "the sampling frequency is out of range";
    if (i == f.n) return "";
    if (f.p[i] != '/') return "the sampling frequency is not a number";
    i++;
    size_t j = take_decimal(f.p + i, f.n - i, &h->counterfreq);
    if (j == 0) return "the counter frequency is not a number";
    if (!(h->counterfreq > 0) || h->counterfreq > 1e15) return "the counter frequency is out of range";
    i += j;
    if (i == f.n) return "";
    if (f.p[i] != '(' || f.p[f.n - 1] != ')') return "the base counter value is not in parentheses";
    i++;
    bool negative = i < f.n && f.p[i] == '-';
    if (negative) i++;
    j = take_decimal(f.p + i, f.n - 1 - i, &h->basecounter);
    if (j == 0 || i + j != f.n - 1 || h->basecounter > 1e18) return "the base counter value is not a number";
    if (negative) h->basecounter = -h->basecounter;
    return "";
}

// HH:MM:SS with an optional fraction of a second; the hour below 24.
std::string base_time(Field f, RecordHeader *h)
{
    std::vector<Field> hms = split(f, ':');
    if (hms.size() != 3) return "the base time is not HH:MM:SS";
    long long hh, mm;
    double ss = 0;
    if (!whole_number(hms[0], 2, &hh) || !whole_number(hms[1], 2, &mm)) return "the base time is not HH:MM:SS";
    Field s = hms[2];
    size_t n = take_decimal(s.p, s.n, &ss);
    if (n == 0 || n != s.n || s.p[0] == '.') return "the base time is not HH:MM:SS";
    if (hh > 23 || mm > 59 || !(ss < 60)) return "the base time is out of range";
    h->basetime_ms = (hh * 3600 + mm * 60) * 1000 + std::llround(std::floor(ss * 1000 + 0.5));
    if (h->basetime_ms >= 86400000LL) h->basetime_ms = 86400000LL - 1;
    h->has_basetime = true;
    return "";
}

std::string base_date(Field f, RecordHeader *h)
{
    std::vector<Field> dmy = split(f, '/');
    long long d, m, y;
    if (dmy.size() != 3 || !whole_number(dmy[0], 2, &d) || !whole_number(dmy[1], 2, &m) ||
        !whole_number(dmy[2], 4, &y))
        return "the base date is not DD/MM/YYYY";
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > days[m - 1] || (m == 2 && d == 29 && !leap))
        return "the base date is out of range";
    h->day = int(d);
    h->month = int(m);
    h->year = int(y);
    h->has_basedate = true;
    return "";
}

} // namespace

std::string parse_record_header(const char *data, size_t size, RecordHeader *out)
{
    // The record line: the first line that is neither blank nor a comment.
    size_t pos = 0;
    Field line{nullptr, 0};
    while (pos < size) {
        const char *nl = static_cast<const char *>(std::memchr(data + pos, '\n', size - pos));
        size_t end = nl ? size_t(nl - data) : size;
        size_t i = pos;
        while (i < end && is_blank(data[i])) i++;
        if (i < end && data[i] != '#') {
            line = {data + i, end - i};
            break;
        }
        pos = end + 1;
    }
    if (!line.p) return "it has no record line";
    if (std::memchr(line.p, '\0', line.n)) return "the record line holds a zero byte";

    std::vector<Field> fields;
    for (size_t i = 0; i < line.n;) {
        while (i < line.n && is_blank(line.p[i])) i++;
        size_t start = i;
        while (i < line.n && !is_blank(line.p[i])) i++;
        if (i > start) fields.push_back({line.p + start, i - start});
    }

    RecordHeader h;
    if (fields.size() < 2) return "the record line lacks the number of signals";
    std::vector<Field> name = split(fields[0], '/');
    long long n;
    if (name.size() > 2 || name[0].n == 0 || (name.size() == 2 && !whole_number(name[1], 9, &n)))
        return "the record name is malformed";
    if (!whole_number(fields[1], 9, &n)) return "the number of signals is not a number";
    std::string err;
    if (fields.size() > 2 && !(err = frequencies(fields[2], &h)).empty()) return err;
    if (fields.size() > 3 && !whole_number(fields[3], 18, &n)) return "the number of samples is not a number";
    if (fields.size() > 4 && !(err = base_time(fields[4], &h)).empty()) return err;
    if (fields.size() > 5 && !(err = base_date(fields[5], &h)).empty()) return err;
    *out = h;
    return "";
}

std::string read_record_header(const char *path, RecordHeader *h)
{
    FILE *f = std::fopen(path, "rb");
    if (!f) return std::strerror(errno);
    std::vector<char> buf(kMaxHeaderRead);
    size_t n = std::fread(buf.data(), 1, buf.size(), f);
    bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) return "it can't be read";
    return parse_record_header(buf.data(), n, h);
}
