// MIT-format annotation files: annopen, getann, putann, wfdbquit.
//
// Files are sequences of 16-bit little-endian words: the top 6 bits a code,
// the low 10 bits a number.  Codes 1..58 are annotations whose number is the
// time since the previous one; SKIP comes before the word whose time it
// moves; SUB, CHN, NUM and AUX come after the word they modify; 00 00 ends.
#include <wfdb/wfdb.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "atomic_output.h"
#include "state.h"

namespace {

enum : unsigned { CODE_SKIP = 59, CODE_NUM = 60, CODE_SUB = 61, CODE_CHN = 62, CODE_AUX = 63 };

constexpr size_t kBufSize = 1 << 16;
constexpr int kNeedMore = -100; // internal: the header scan ran past its buffer
constexpr long kMaxSkip = 0x7fffffffL;

bool valid_annotator_name(const char *name)
{
    return name && *name && std::strchr(name, '/') == nullptr;
}

// ---------------------------------------------------------------- reading

struct Reader {
    std::string path;
    int fd = -1;
    std::vector<unsigned char> buf = std::vector<unsigned char>(kBufSize);
    size_t pos = 0, len = 0;
    bool eof = false;
    int status = 0; // sticky: -1 end, -3 data ends inside an annotation or read error, -4 corrupt
    bool raw = false;      // also deliver code-0 words (header scan)
    bool norefill = false; // header scan: stay within the first buffer

    long time = 0; // running time
    unsigned char chan = 0;
    signed char num = 0;

    bool pending = false; // an annotation word was read; its modifiers may follow
    long ptime = 0;
    int pcode = 0;
    signed char psub = 0;
    unsigned char pchan = 0;
    signed char pnum = 0;
    bool paux = false;
    unsigned char aux[1 + 1023 + 1]; // count byte, bytes, NUL

    ~Reader()
    {
        if (fd >= 0) ::close(fd);
    }

    // Moves what is left to the front and reads until the buffer is full or
    // the file ends.  False on a read error.
    bool refill()
    {
        if (pos > 0) {
            std::memmove(buf.data(), buf.data() + pos, len - pos);
            len -= pos;
            pos = 0;
        }
        while (len < buf.size()) {
            ssize_t n = ::read(fd, buf.data() + len, buf.size() - len);
            if (n < 0) {
                if (errno == EINTR) continue;
                wfdb_error("getann: can't read %s: %s\n", path.c_str(), std::strerror(errno));
                return false;
            }
            if (n == 0) {
                eof = true;
                break;
            }
            len += size_t(n);
        }
        return true;
    }
};

// A time that would leave the 64-bit range, or an annotation before the
// start of the record, marks a corrupt file.
int emit(Reader &r, WFDB_Annotation *annot)
{
    r.pending = false;
    if (r.ptime < 0 && !r.raw) {
        wfdb_error("getann: negative annotation time in %s\n", r.path.c_str());
        return r.status = -4;
    }
    annot->time = r.ptime;
    annot->anntyp = char(r.pcode);
    annot->subtyp = r.psub;
    annot->chan = r.pchan;
    annot->num = r.pnum;
    annot->aux = r.paux ? r.aux : nullptr;
    return 0;
}

int truncated(Reader &r)
{
    wfdb_error("getann: unexpected end of %s\n", r.path.c_str());
    return r.status = -3;
}

int corrupt(Reader &r, const char *what)
{
    wfdb_error("getann: %s in %s\n", what, r.path.c_str());
    return r.status = -4;
}

int read_next(Reader &r, WFDB_Annotation *annot)
{
    if (r.status) return r.status;
    for (;;) {
        size_t avail = r.len - r.pos;
        if (avail < 2 && !r.eof) {
            if (r.norefill) return kNeedMore;
            if (!r.refill()) return r.status = -3;
            continue;
        }
        if (avail < 2) {
            // The data ends without 00 00: a clean end after a complete
            // annotation, a truncation inside a word otherwise.
            if (avail) return truncated(r);
            if (r.pending) {
                r.status = -1;
                return emit(r, annot);
            }
            return r.status = -1;
        }
        const unsigned char *p = r.buf.data() + r.pos;
        unsigned w = unsigned(p[0]) | unsigned(p[1]) << 8;
        unsigned a = w >> 10, i = w & 0x3ff;

        if (a >= CODE_NUM) { // modifier of the annotation just read
            size_t need = a == CODE_AUX ? 2 + i + (i & 1) : 2;
            if (avail < need) {
                if (!r.eof) {
                    if (r.norefill) return kNeedMore;
                    if (!r.refill()) return r.status = -3;
                    continue;
                }
                return truncated(r);
            }
            switch (a) {
            case CODE_NUM:
                r.num = static_cast<signed char>(i & 0xff);
                if (r.pending) r.pnum = r.num;
                break;
            case CODE_CHN:
                r.chan = static_cast<unsigned char>(i & 0xff);
                if (r.pending) r.pchan = r.chan;
                break;
            case CODE_SUB:
                if (r.pending) r.psub = static_cast<signed char>(i & 0xff);
                break;
            case CODE_AUX:
                // The in-memory aux has a one-byte count.
                if (i > 255) return corrupt(r, "aux string longer than 255 bytes");
                if (r.pending) {
                    r.aux[0] = static_cast<unsigned char>(i);
                    std::memcpy(r.aux + 1, p + 2, i);
                    r.aux[1 + i] = 0;
                    r.paux = true;
                }
                break;
            }
            r.pos += need;
            continue;
        }

        if (r.pending) return emit(r, annot);
        if (w == 0) return r.status = -1;

        if (a == CODE_SKIP) {
            if (avail < 6) {
                if (!r.eof) {
                    if (r.norefill) return kNeedMore;
                    if (!r.refill()) return r.status = -3;
                    continue;
                }
                return truncated(r);
            }
            // High half first, each half low byte first.
            uint32_t u = uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[5]) << 8 | uint32_t(p[4]);
            long interval = long(int32_t(u));
            if (__builtin_add_overflow(r.time, interval, &r.time)) return corrupt(r, "time out of range");
            r.pos += 6;
            continue;
        }

        if (__builtin_add_overflow(r.time, long(i), &r.time)) return corrupt(r, "time out of range");
        r.pos += 2;
        if (a == 0 && !r.raw) continue; // a code-0 word only moves the time
        r.pending = true;
        r.ptime = r.time;
        r.pcode = int(a);
        r.psub = 0;
        r.pchan = r.chan;
        r.pnum = r.num;
        r.paux = false;
    }
}

// A file may begin with a block of NOTEs at time 0 whose first aux starts
// with "## " (time resolution, modification labels), closed by SKIP -1 and
// a code-0 word that brings the time back to 0.  It is metadata: getann
// does not deliver it, and outputs opened afterwards get the same block.
struct HeaderBlock {
    std::vector<unsigned char> bytes;
    unsigned char chan = 0;
    signed char num = 0;
};

std::string aux_text(const WFDB_Annotation &a)
{
    if (!a.aux) return {};
    std::string s(reinterpret_cast<const char *>(a.aux + 1), a.aux[0]);
    return s.substr(0, s.find('\0'));
}

// Reads "<code> <mnemonic> <description>" modification labels.
void apply_label(const std::string &text)
{
    if (text.empty() || text[0] == '#') return;
    const char *s = text.c_str();
    char *end;
    long code = std::strtol(s, &end, 10);
    if (end == s || code < 1 || code > ACMAX || *end != ' ') return;
    std::string rest(end + 1);
    size_t sp = rest.find_first_of(" \t\n");
    std::string mnemonic = rest.substr(0, sp);
    std::string description;
    if (sp != std::string::npos && rest[sp] != '\n') description = rest.substr(sp + 1);
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r'))
        description.pop_back();
    wfdbint::set_label(int(code), mnemonic, description);
}

bool scan_header_block(Reader &r, HeaderBlock &block)
{
    r.raw = r.norefill = true;
    bool quiet = wfdbint::quiet;
    wfdbint::quiet = true;
    WFDB_Annotation a;
    std::vector<std::string> notes;
    bool found = false;
    if (read_next(r, &a) == 0 && a.anntyp == NOTE && a.time == 0 && aux_text(a).rfind("## ", 0) == 0) {
        notes.push_back(aux_text(a));
        while (read_next(r, &a) == 0 && a.time == 0) {
            if (a.anntyp == 0) {
                found = true;
                break;
            }
            if (a.anntyp != NOTE) break;
            notes.push_back(aux_text(a));
        }
    }
    wfdbint::quiet = quiet;
    r.raw = r.norefill = false;
    if (found) {
        block.bytes.assign(r.buf.begin(), r.buf.begin() + long(r.pos));
        block.chan = r.chan;
        block.num = r.num;
        for (const auto &n : notes) apply_label(n);
        return true;
    }
    // Not a header block: read the file from its start.
    r.pos = 0;
    r.status = 0;
    r.time = 0;
    r.chan = 0;
    r.num = 0;
    r.pending = false;
    return false;
}

// ---------------------------------------------------------------- writing

struct Writer {
    std::string path;
    wfdbint::PendingOutput *out = nullptr;
    int fd = -1;
    std::vector<unsigned char> buf = std::vector<unsigned char>(kBufSize);
    size_t len = 0;
    bool failed = false;
    long prev = 0;
    unsigned char chan = 0;
    signed char num = 0;

    void fail(const char *what, int err)
    {
        if (!failed) wfdb_error("putann: %s %s: %s\n", what, path.c_str(), std::strerror(err));
        failed = true;
    }

    bool flush()
    {
        size_t off = 0;
        while (off < len && !failed) {
            ssize_t n = ::write(fd, buf.data() + off, len - off);
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("can't write", errno);
            } else {
                off += size_t(n);
            }
        }
        len = 0;
        return !failed;
    }

    // Room for one more word (or SKIP) at least.
    void put16(unsigned w)
    {
        if (buf.size() - len < 2 && !flush()) return;
        buf[len++] = static_cast<unsigned char>(w & 0xff);
        buf[len++] = static_cast<unsigned char>(w >> 8);
    }

    void put_bytes(const unsigned char *p, size_t n)
    {
        if (buf.size() - len < n && !flush()) return;
        std::memcpy(buf.data() + len, p, n);
        len += n;
    }

    void put_skip(long interval)
    {
        uint32_t u = uint32_t(int32_t(interval));
        const unsigned char b[6] = {0x00, 0xec, static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24),
                                    static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8)};
        put_bytes(b, sizeof b);
    }
};

// Stored as (signed 8-bit value) & 0x3FF, as the real library does.
unsigned field10(int v8) { return unsigned(static_cast<signed char>(v8)) & 0x3ff; }

// Completes the file and renames it into place; on any failure the
// temporary file goes and an old file of that name stays as it was.
bool finish(Writer &w)
{
    if (!w.failed) {
        w.put16(0);
        w.flush();
    }
    if (!w.failed && ::fsync(w.fd) != 0 && errno != EINVAL) w.fail("can't write", errno);
    if (::close(w.fd) != 0 && !w.failed) w.fail("can't close", errno);
    w.fd = -1;
    if (w.failed) {
        wfdbint::discard_output(w.out);
    } else {
        const char *what = "";
        int err = wfdbint::commit_output(w.out, &what);
        if (err) w.fail(what, err);
    }
    w.out = nullptr;
    return !w.failed;
}

// ---------------------------------------------------------------- annotators

std::vector<std::unique_ptr<Reader>> readers;
std::vector<std::unique_ptr<Writer>> writers;
HeaderBlock last_block;
bool have_block = false;
int write_status = 0;

void close_all()
{
    readers.clear();
    for (auto &w : writers)
        if (!finish(*w)) write_status = -1;
    writers.clear();
}

int open_input(const std::string &record, const char *name)
{
    if (!valid_annotator_name(name)) {
        wfdb_error("annopen: illegal annotator name '%s'\n", name ? name : "");
        return -3;
    }
    std::string file = record + "." + name;
    std::string path = wfdbint::find_on_path(file);
    int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        wfdb_error("annopen: can't read annotator %s for record %s\n", name, record.c_str());
        return -3;
    }
    auto r = std::make_unique<Reader>();
    r->path = path;
    r->fd = fd;
    if (!r->refill()) return -3;
    have_block = scan_header_block(*r, last_block);
    readers.push_back(std::move(r));
    return 0;
}

int open_output(const std::string &record, const char *name)
{
    if (!valid_annotator_name(name)) {
        wfdb_error("annopen: illegal annotator name '%s'\n", name ? name : "");
        return -4;
    }
    auto w = std::make_unique<Writer>();
    w->path = record + "." + name;
    struct stat st;
    mode_t mode;
    if (::stat(w->path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            wfdb_error("annopen: can't write annotator %s for record %s: not a regular file\n", name, record.c_str());
            return -4;
        }
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int fd = wfdbint::begin_output(w->path, mode, &w->out);
    if (fd < 0) {
        wfdb_error("annopen: can't write annotator %s for record %s: %s\n", name, record.c_str(), std::strerror(errno));
        return -4;
    }
    w->fd = fd;
    if (have_block) {
        w->put_bytes(last_block.bytes.data(), last_block.bytes.size());
        w->chan = last_block.chan;
        w->num = last_block.num;
    }
    writers.push_back(std::move(w));
    return 0;
}

} // namespace

extern "C" int annopen(const char *record, WFDB_Anninfo *aiarray, unsigned int nann)
{
    if (!record) record = "";
    bool keep = record[0] == '+';
    if (keep) ++record;
    if (!keep) close_all();
    for (unsigned k = 0; k < nann; ++k) {
        int rc;
        switch (aiarray[k].stat) {
        case WFDB_READ:
            rc = open_input(record, aiarray[k].name);
            break;
        case WFDB_WRITE:
            rc = open_output(record, aiarray[k].name);
            break;
        default:
            wfdb_error("annopen: illegal stat %d for annotator %s\n", aiarray[k].stat,
                       aiarray[k].name ? aiarray[k].name : "");
            rc = -5;
        }
        if (rc) return rc;
    }
    return 0;
}

extern "C" int getann(WFDB_Annotator an, WFDB_Annotation *annot)
{
    if (an >= readers.size() || !readers[an]) {
        wfdb_error("getann: there is no input annotator %u\n", an);
        return -2;
    }
    return read_next(*readers[an], annot);
}

extern "C" int putann(WFDB_Annotator an, WFDB_Annotation *annot)
{
    if (an >= writers.size() || !writers[an]) {
        wfdb_error("putann: there is no output annotator %u\n", an);
        return -2;
    }
    Writer &w = *writers[an];
    if (w.failed) return -1;
    unsigned code = static_cast<unsigned char>(annot->anntyp);
    // Code 0 with no time step would read as the end of the file.
    if (code < 1 || code >= CODE_SKIP) {
        wfdb_error("putann: illegal annotation code %d for %s\n", int(annot->anntyp), w.path.c_str());
        return -1;
    }
    if (annot->time < 0) {
        wfdb_error("putann: negative annotation time %ld for %s\n", annot->time, w.path.c_str());
        return -1;
    }
    long d = annot->time - w.prev; // both are >= 0: no overflow
    if (d < 0 || d > 1023) {
        while (d > kMaxSkip) {
            w.put_skip(kMaxSkip);
            d -= kMaxSkip;
        }
        while (d < -kMaxSkip) {
            w.put_skip(-kMaxSkip);
            d += kMaxSkip;
        }
        w.put_skip(d);
        d = 0;
    }
    w.put16(code << 10 | unsigned(d));
    if (annot->subtyp != 0) w.put16(CODE_SUB << 10 | field10(annot->subtyp));
    if (annot->chan != w.chan) w.put16(CODE_CHN << 10 | field10(annot->chan));
    if (annot->num != w.num) w.put16(CODE_NUM << 10 | field10(annot->num));
    if (annot->aux) {
        unsigned n = annot->aux[0];
        w.put16(CODE_AUX << 10 | n);
        w.put_bytes(annot->aux + 1, n);
        if (n & 1) w.put_bytes(reinterpret_cast<const unsigned char *>(""), 1);
    }
    w.prev = annot->time;
    w.chan = annot->chan;
    w.num = annot->num;
    return w.failed ? -1 : 0;
}

extern "C" void wfdbquit(void)
{
    close_all();
    have_block = false;
    last_block = HeaderBlock{};
    wfdbint::reset_labels();
}

extern "C" int wfdb_write_status(void)
{
    int s = write_status;
    write_status = 0;
    return s;
}
