// logmend: applies an annotation edit log (standard input) to a record's
// annotation file and writes the result as a new annotation file.
#include <common/std_descriptors.h>
#include <wfdb/wfdb.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

// The annotation list.  Every annotation is one node, and the list is two
// arrays of them:
//
//   [aphead, aptail)    the annotations of the input file, in file order;
//                       sorted by key (stably) if the file was not in order
//   [apedit, apeditend) the log's insertions and deletions, in log order;
//                       sorted by key (stably) when the log has been read
//
// Nothing is linked or searched while the log is read.  A deletion only
// ever matches nodes of its own key, so the log's entries wait in the
// second array and are applied key group by key group, in log order within
// a group, while the two arrays are merged into the output (next_ann).
// Within a group the nodes were inserted in this order: the file's, then
// the log's insertions; a deletion removes the earliest inserted match
// still there, and the group is written newest first.  Output, warnings
// and their order are those of applying each entry as it is read, with
// both passes sequential in memory.
//
// key = time*65536 + chan*256 + (num+128).
struct ap {
    int64_t key;
    unsigned char *aux; // own copy: count byte, text, zero byte; or none
    int anntyp;
    signed char subtyp;
    unsigned char edit;  // LOG_INSERT or LOG_DELETE for a log entry, with GONE once it is deleted or has deleted
    unsigned short auxn; // a deletion's aux text length
};
enum { LOG_INSERT = 1, LOG_DELETE = 2, GONE = 4 };

static char *pname;
static char *record;
static char *annotator;
static char *oaname;
static char logtext[500];
static double sps;
static WFDB_Annotation annot;
// Length of the text behind annot.aux's count byte.  It can exceed the
// count (a log aux longer than 255) or hold zero bytes (an aux read from a
// file), so it is carried beside annot rather than taken with strlen.
static size_t auxlen;
static ap *aphead, *aptail, *apedit, *apeditend;
static size_t apcap, apeditcap; // room, in nodes, of the two arrays
static bool aploaded;           // the file is in: insertions from now on come from the log
static bool apunsorted;         // a key of the file came before a smaller one
// Writing: where the next key group starts in each array, where the
// current group starts, and the next of its nodes to write, from its end.
static ap *apl, *ape, *grpl, *grpe, *outl;
static ap **aplive;             // the remaining nodes of a group with edits (apply_group)
static size_t aplives, aplivecap;

// Keys the list can hold: times within +-2^47 keep key arithmetic in range.
static const int64_t maxtime = int64_t(1) << 47;

// A failed allocation is never survivable for this program, so it always
// ends the run.
[[noreturn]] static void nomem(size_t size, const char *what)
{
    wfdb_error("WFDB: can't allocate (%ld*%ld) bytes for %s\n", long(size), 1L, what);
    (void)wfdb_me_fatal();
    std::exit(1);
}

// Test builds: LOGMEND_FAILALLOC=N makes the Nth allocation fail, and
// names it on standard error even when the library is silenced.
static bool injected_failure(const char *what)
{
#ifdef LOGMEND_FAILALLOC
    static long countdown = -1;
    if (countdown < 0) {
        const char *s = std::getenv("LOGMEND_FAILALLOC");
        countdown = s ? std::atol(s) : 0;
    }
    if (countdown > 0 && --countdown == 0) {
        std::fprintf(stderr, "(injected failure: %s)\n", what);
        return true;
    }
    return false;
#else
    (void)what;
    return false;
#endif
}

// Every allocation but the growth of the list's arrays goes through here.
static void *zalloc(size_t size, const char *what)
{
    void *p = injected_failure(what) ? nullptr : std::calloc(size, 1);
    if (!p) nomem(size, what);
    return p;
}

// The list's arrays, on the heap: large ones are mappings of their own
// that grow by moving their pages, so nothing is copied, and only the pages
// that nodes fill become resident.  (Huge pages were tried: on this kind of
// virtual machine, a record's first run then costs twice as long, since
// huge pages that the host took back are expensive to touch again.)
static void *block_resize(void *old, size_t size, const char *what)
{
    void *p = injected_failure(what) ? nullptr : std::realloc(old, size);
    if (!p) nomem(size, what);
    return p;
}

// Room for one more node at the end of an array, which doubles when full.
static ap *grow(ap **base, ap **end, size_t *cap, const char *what)
{
    size_t n = size_t(*end - *base);
    if (n == *cap) {
        size_t want = n ? n * 2 : 1;
        if (want > SIZE_MAX / sizeof(ap)) nomem(SIZE_MAX, what);
        *base = static_cast<ap *>(block_resize(*base, want * sizeof(ap), what));
        *end = *base + n;
        *cap = want;
    }
    ap *apthis = (*end)++;
    *apthis = ap{};
    return apthis;
}

static char *copy_text(char *old, const char *text, size_t len, const char *what)
{
    std::free(old);
    char *s = static_cast<char *>(zalloc(len + 1, what));
    std::memcpy(s, text, len);
    return s;
}

static int64_t make_key(WFDB_Time time, unsigned char chan, signed char num)
{
    return int64_t(time) * 65536 + int64_t(chan) * 256 + (int64_t(num) + 128);
}

// Text length of a node's own aux copy (which always ends in a zero byte).
static size_t node_auxlen(const unsigned char *a)
{
    size_t n = std::strlen(reinterpret_cast<const char *>(a + 1));
    return n > a[0] ? n : a[0];
}

static void cant_read_log();

// Reads one line into logtext: at most 499 characters, line end included
// when it fits.  The rest of a longer line is discarded; a CR LF that
// straddles the limit still ends the line, stored as its LF.  Answers the
// number of characters stored, 0 only at the end of the input.  A read
// error is never taken for the end: it ends the run.
static size_t read_line()
{
    // One thread: the stream needs no lock per character.
    size_t n = 0;
    int c = EOF;
    while (n < sizeof logtext - 1 && (c = getc_unlocked(stdin)) != EOF) {
        logtext[n++] = char(c);
        if (c == '\n') break;
    }
    if (n == sizeof logtext - 1 && c != '\n') {
        int first = c = getc_unlocked(stdin);
        while (c != EOF && c != '\n') c = getc_unlocked(stdin);
        if (first == '\n' && logtext[n - 1] == '\r') logtext[n - 1] = '\n';
    }
    logtext[n] = '\0';
    if (c == EOF && std::ferror(stdin)) cant_read_log();
    return n;
}

static int parse_log_header()
{
    static const char prefix[] = "[VIZodeViv-1.0] Record ";
    if (read_line() == 0 || std::strncmp(logtext, prefix, 23) != 0) return 0;
    char *name = logtext + 23;
    char *comma = std::strchr(name, ',');
    if (!comma || std::strncmp(comma + 1, " annotator ", 11) != 0) return 0;
    record = copy_text(record, name, size_t(comma - name), "record");

    name = comma + 12;
    char *space = std::strchr(name, ' ');
    if (!space || space[1] != '(') goto reject;
    annotator = copy_text(annotator, name, size_t(space - name), "annotator");

    {
        char *freq = space + 2;
        space = std::strchr(freq, ' ');
        if (!space || std::strncmp(space + 1, "samples/second)", 15) != 0) goto reject;
        *space = '\0';
        std::sscanf(freq, "%lf", &sps);
    }

    if (read_line() != 0 && (logtext[0] == '\r' || logtext[0] == '\n')) return 1;

reject:
    std::free(record);
    std::free(annotator);
    record = annotator = nullptr;
    return 0;
}

// Reads a run of decimal digits at s[*i] as a time below 2^47.  Answers 0
// for an empty run or one too large for a key.
static int read_time(const char *s, size_t *i, WFDB_Time *t)
{
    size_t j = *i;
    int64_t v = 0;
    int big = 0;
    while (std::isdigit(static_cast<unsigned char>(s[j]))) {
        if (!big) {
            v = v * 10 + (s[j] - '0');
            if (v >= maxtime) big = 1;
        }
        j++;
    }
    if (j == *i || big) return 0;
    *i = j;
    *t = WFDB_Time(v);
    return 1;
}

// Low 8 bits of the integer that atoi would read from s, taken without
// overflow however long the digit run is.
static unsigned char low_byte(const char *s)
{
    while (std::isspace(static_cast<unsigned char>(*s))) s++;
    int neg = *s == '-';
    if (*s == '-' || *s == '+') s++;
    unsigned v = 0;
    while (std::isdigit(static_cast<unsigned char>(*s))) v = (v * 10 + unsigned(*s++ - '0')) & 255;
    return (unsigned char)(neg ? (256 - v) & 255 : v);
}

static void set_aux(const char *text, size_t len)
{
    std::free(annot.aux);
    annot.aux = static_cast<unsigned char *>(zalloc(len + 2, "annot.aux"));
    annot.aux[0] = (unsigned char)(len > 255 ? 255 : len);
    std::memcpy(annot.aux + 1, text, len);
    auxlen = len;
}

static int get_log_entry()
{
    if (read_line() == 0) return 0;

    std::free(annot.aux);
    annot.aux = nullptr;
    auxlen = 0;
    annot.anntyp = NORMAL;
    annot.subtyp = 0;
    annot.chan = 0;
    annot.num = 0;

    char copy[sizeof logtext];
    std::strcpy(copy, logtext);
    size_t end = std::strlen(copy);
    if (end > 0 && copy[end - 1] == '\n') {
        copy[--end] = '\0';
        if (end > 0 && copy[end - 1] == '\r') copy[--end] = '\0';
    }

    int action = logtext[0] == '-' ? 2 : 1;
    size_t i = action == 2 ? 1 : 0;
    if (!read_time(logtext, &i, &annot.time)) return -1;

    char c = logtext[i];
    if (c == '\r' || c == '\n') return action;
    if (c == '-') {
        WFDB_Time tf;
        i++;
        if (!read_time(logtext, &i, &tf) || tf < annot.time) return -1;
        c = logtext[i];
        // After an end time any one character separates, but not the end
        // of the text itself.
        if (c == '\0') return -1;
        std::fprintf(stderr, "(warning): no support for tf at %ld", long(annot.time));
        if (c == '\r' || c == '\n') return action;
    } else if (c != ',') {
        return -1;
    }

    // Code: its first character belongs to it whatever it is.
    size_t cs = i + 1, ce = cs;
    if (ce < end) {
        ce++;
        while (ce < end && copy[ce] != ',' && copy[ce] != '{') ce++;
    }
    copy[ce] = '\0';
    int warned = 0;
    int code = strann(copy + cs);
    if (code != 0) {
        annot.anntyp = char(code);
    } else {
        annot.anntyp = NOTE;
        if (ce - cs > 255) {
            std::fprintf(stderr, "(warning): aux will be truncated at %ld", long(annot.time));
            warned = 1;
        }
        set_aux(copy + cs, ce - cs);
    }

    size_t pos = ce;
    if (logtext[ce] == '{') {
        char *f1 = copy + ce + 1;
        char *e1 = std::strchr(f1, '/');
        char *f2 = e1 ? e1 + 1 : nullptr;
        char *e2 = f2 ? std::strchr(f2, '/') : nullptr;
        char *f3 = e2 ? e2 + 1 : nullptr;
        char *e3 = f3 ? std::strchr(f3, '}') : nullptr;
        if (!e3) return -1;
        *e1 = *e2 = *e3 = '\0';
        if (*f1) annot.subtyp = (signed char)low_byte(f1);
        if (*f2) annot.chan = low_byte(f2);
        if (*f3) annot.num = (signed char)low_byte(f3);
        pos = size_t(e3 - copy) + 1;
    }

    if (logtext[pos] != ',') return action;

    const char *text = copy + pos + 1;
    size_t len = end - (pos + 1);
    std::string joined;
    if (annot.aux) {
        joined.assign(copy + cs, ce - cs);
        joined += ':';
        joined.append(text, len);
        text = joined.c_str();
        len = joined.size();
    }
    if (len > 255 && !warned) std::fprintf(stderr, "(warning): aux will be truncated at %ld", long(annot.time));
    set_aux(text, len);
    return action;
}

static void copy_aux(ap *apthis)
{
    apthis->aux = static_cast<unsigned char *>(zalloc(auxlen + 2, "apthis->aux"));
    std::memcpy(apthis->aux, annot.aux, auxlen + 1);
}

static int insert_ann()
{
    ap *apthis = aploaded ? grow(&apedit, &apeditend, &apeditcap, "apedit") : grow(&aphead, &aptail, &apcap, "aphead");
    apthis->anntyp = (signed char)annot.anntyp;
    apthis->subtyp = annot.subtyp;
    apthis->key = make_key(annot.time, annot.chan, annot.num);
    if (aploaded)
        apthis->edit = LOG_INSERT;
    else if (apthis > aphead && apthis[-1].key > apthis->key)
        apunsorted = true;
    if (annot.aux && annot.aux[0] != 0) copy_aux(apthis);
    return 1;
}

// Records the deletion; it is applied when the list is written.
static int delete_ann()
{
    static_assert(sizeof logtext <= 65535, "a deletion's aux length must fit its node");
    ap *apthis = grow(&apedit, &apeditend, &apeditcap, "apedit");
    apthis->anntyp = (signed char)annot.anntyp;
    apthis->subtyp = annot.subtyp;
    apthis->key = make_key(annot.time, annot.chan, annot.num);
    apthis->edit = LOG_DELETE;
    if (annot.aux) {
        copy_aux(apthis);
        apthis->auxn = (unsigned short)auxlen;
    }
    return 1;
}

static int aux_equal(const unsigned char *a, const unsigned char *b, size_t blen)
{
    if (!a || !b) return !a && !b;
    return a[0] == b[0] && node_auxlen(a) == blen && std::memcmp(a + 1, b + 1, blen) == 0;
}

static int matches(const ap *p, const ap *del)
{
    return p->anntyp == del->anntyp && p->subtyp == del->subtyp && aux_equal(p->aux, del->aux, del->auxn);
}

// Applies one key group, the file's nodes [l, lend) and the log's entries
// [e, eend), in log order: aplive ends up holding the group's remaining
// nodes in order of insertion.  It is a list of its own, so that a
// deletion only passes nodes that are still there, as in a linked list
// (a log that inserts and deletes one annotation over and over stays
// linear).
static void apply_group(ap *l, ap *lend, ap *e, ap *eend)
{
    size_t need = size_t(lend - l) + size_t(eend - e);
    if (need > aplivecap) {
        size_t want = std::max(need, aplivecap * 2);
        if (want > SIZE_MAX / sizeof(ap *)) nomem(SIZE_MAX, "aplive");
        aplive = static_cast<ap **>(block_resize(aplive, want * sizeof(ap *), "aplive"));
        aplivecap = want;
    }
    aplives = 0;
    for (ap *p = l; p < lend; p++) aplive[aplives++] = p;
    for (ap *del = e; del < eend; del++) {
        if (del->edit == LOG_INSERT) {
            aplive[aplives++] = del;
            continue;
        }
        for (size_t i = 0; i < aplives; i++) {
            ap *match = aplive[i];
            if (!matches(match, del)) continue;
            match->edit |= GONE;
            std::free(match->aux);
            match->aux = nullptr;
            del->edit |= GONE;
            std::memmove(aplive + i, aplive + i + 1, (aplives - i - 1) * sizeof(ap *));
            aplives--;
            break;
        }
        std::free(del->aux);
        del->aux = nullptr;
    }
}

// Stable sort of nodes by key: least significant digit first, over only
// the bits in which keys differ (the number byte, often, and the top of
// the time do not), in digits of at most 11 bits: a few sequential passes
// instead of a merge sort's many.
static void sort_nodes(ap *a, size_t n)
{
    if (n < 2) return;
    const uint64_t flip = uint64_t(1) << 63; // negative keys first
    uint64_t ones = 0, zeros = ~uint64_t(0);
    for (size_t i = 0; i < n; i++) {
        uint64_t u = uint64_t(a[i].key) ^ flip;
        ones |= u;
        zeros &= u;
    }
    uint64_t differ = ones & ~zeros;
    if (!differ) return;
    const int lo = __builtin_ctzll(differ), span = 64 - __builtin_clzll(differ) - lo;
    const int passes = (span + 10) / 11, width = (span + passes - 1) / passes;
    const uint64_t mask = (uint64_t(1) << width) - 1;
    static size_t count[6][2048];
    std::memset(count, 0, sizeof count);
    for (size_t i = 0; i < n; i++) {
        uint64_t u = (uint64_t(a[i].key) ^ flip) >> lo;
        for (int p = 0; p < passes; p++) count[p][(u >> (p * width)) & mask]++;
    }
    ap *buf = static_cast<ap *>(block_resize(nullptr, n * sizeof(ap), "apsort"));
    ap *src = a, *dst = buf;
    for (int p = 0; p < passes; p++) {
        size_t at = 0;
        for (size_t d = 0; d <= mask; d++) {
            size_t k = count[p][d];
            count[p][d] = at;
            at += k;
        }
        const int shift = lo + p * width;
        for (size_t i = 0; i < n; i++) dst[count[p][((uint64_t(src[i].key) ^ flip) >> shift) & mask]++] = src[i];
        std::swap(src, dst);
    }
    if (src != a) std::memcpy(a, src, n * sizeof(ap));
    std::free(buf);
}

// Ends the input: both arrays into key order, ready for next_ann.
static void sort_list()
{
    if (apunsorted) sort_nodes(aphead, size_t(aptail - aphead));
    sort_nodes(apedit, size_t(apeditend - apedit));
    apl = grpl = outl = aphead;
    ape = grpe = apedit;
    aplives = 0;
}

// The next node to write, in key order and newest first within a key, or
// none after the last.
static ap *next_ann()
{
    for (;;) {
        if (aplives) return aplive[--aplives];
        if (outl > grpl) return --outl;
        if (apl == aptail && ape == apeditend) return nullptr;
        // The file's nodes are read in order, between library calls that
        // push them out of the cache; a hint only, never a fault.
        __builtin_prefetch(reinterpret_cast<const void *>(uintptr_t(apl) + 32 * sizeof(ap)));
        int64_t key = apl < aptail && (ape == apeditend || apl->key <= ape->key) ? apl->key : ape->key;
        for (grpl = apl; apl < aptail && apl->key == key;) apl++;
        for (grpe = ape; ape < apeditend && ape->key == key;) ape++;
        if (grpe < ape) {
            apply_group(grpl, apl, grpe, ape);
            outl = grpl; // written from aplive
        } else {
            outl = apl;
        }
    }
}

static void free_list()
{
    for (ap *p = aphead; p < aptail; p++) std::free(p->aux);
    for (ap *p = apedit; p < apeditend; p++) std::free(p->aux);
    std::free(aphead);
    std::free(apedit);
    std::free(aplive);
    aphead = aptail = apedit = apeditend = nullptr;
    apl = ape = grpl = grpe = outl = nullptr;
    aplive = nullptr;
    apcap = apeditcap = aplives = aplivecap = 0;
    aploaded = apunsorted = false;
}

static void free_names()
{
    std::free(oaname);
    std::free(record);
    std::free(annotator);
    oaname = record = annotator = nullptr;
}

// Whether <record>.<annotator> exists where the library looks for it or
// where the output would go, so that a file that fails to open is told
// apart from one that isn't there.
static int input_exists()
{
    std::string rec = record[0] == '+' ? record + 1 : record;
    std::string file = rec + "." + annotator;
    struct stat st;
    if (::stat(file.c_str(), &st) == 0) return 1;
    if (rec[0] == '/') return 0;
    const char *path = std::getenv("WFDB");
    if (!path) return 0;
    std::string dir;
    for (const char *p = path;; p++) {
        if (*p == '\0' || *p == ':' || std::isspace(static_cast<unsigned char>(*p))) {
            if (!dir.empty() && ::stat((dir + "/" + file).c_str(), &st) == 0) return 1;
            dir.clear();
            if (*p == '\0') break;
        } else {
            dir += *p;
        }
    }
    return 0;
}

static void cant_read()
{
    std::fprintf(stderr, "%s: can't read annotation file '%s.%s'\n", pname, record, annotator);
    free_list();
    free_names();
    wfdbquit();
    std::exit(3);
}

// The output annotator may be open: leaving without wfdbquit lets the
// library discard it unfinished.
static void cant_read_log()
{
    std::fprintf(stderr, "%s: can't read the edit log\n", pname);
    free_list();
    free_names();
    std::exit(4);
}

static void cant_write(const char *name)
{
    std::fprintf(stderr, "%s: can't write output annotation file '%s.%s\n", pname, record, name);
    free_list();
    free_names();
    wfdbquit();
    std::exit(2);
}

int main(int argc, char **argv)
{
    (void)argc;
    pname = argv[0] ? argv[0] : const_cast<char *>("logmend");
    if (!open_std_descriptors()) return 1;
    // A file-size limit must fail the write (and be reported), not kill
    // the run with its output half written.
    std::signal(SIGXFSZ, SIG_IGN);

    if (!parse_log_header()) {
        std::fprintf(stderr, "%s: can't parse input file (format error)\n", pname);
        return 1;
    }

    // Room for the first node, taken before the library is silenced.
    aphead = aptail = static_cast<ap *>(zalloc(sizeof(ap), "aphead"));
    apcap = 1;
    wfdbquiet();

    size_t alen = std::strlen(annotator);
    oaname = static_cast<char *>(zalloc(alen + 2, "oaname"));
    std::snprintf(oaname, alen + 2, "%s_", annotator);
    WFDB_Anninfo ai;
    ai.name = annotator;
    ai.stat = WFDB_READ;

    if (annopen(record, &ai, 1) == 0) {
        int rc;
        while ((rc = getann(0, &annot)) == 0) {
            if (annot.time >= maxtime || annot.time <= -maxtime) cant_read();
            auxlen = annot.aux ? annot.aux[0] : 0;
            insert_ann();
        }
        if (rc != -1) cant_read();
        ai.name = oaname;
    } else if (input_exists()) {
        cant_read();
    }
    // That aux belongs to the library.
    annot.aux = nullptr;
    aploaded = true;

    ai.stat = WFDB_WRITE;
    if (annopen(record, &ai, 1) != 0) cant_write(ai.name);

    int rc;
    while ((rc = get_log_entry()) != 0) {
        if (rc == 1)
            insert_ann();
        else if (rc == 2)
            delete_ann();
    }
    std::free(annot.aux);
    annot.aux = nullptr;

    sort_list();
    for (ap *apthis; (apthis = next_ann()) != nullptr;) {
        annot.anntyp = char(apthis->anntyp);
        annot.subtyp = apthis->subtyp;
        annot.time = WFDB_Time(apthis->key >> 16);
        annot.chan = (unsigned char)((apthis->key >> 8) & 255);
        annot.num = (signed char)((apthis->key & 255) - 128);
        annot.aux = apthis->aux;
        if (putann(0, &annot) != 0) cant_write(ai.name); // the library drops the unfinished output
        if (apthis->aux) { // (most nodes have none: leave their memory clean)
            std::free(apthis->aux);
            apthis->aux = nullptr;
        }
    }
    // Every aux copy went as its node was written or deleted.
    std::free(aphead);
    std::free(apedit);
    std::free(aplive);
    aplive = nullptr;
    aphead = aptail = apedit = apeditend = nullptr;
    annot.aux = nullptr;

    wfdbquit();
#ifdef WFDB_HAVE_WRITE_STATUS
    if (wfdb_write_status() != 0) {
        std::fprintf(stderr, "%s: can't write output annotation file '%s.%s\n", pname, record, ai.name);
        free_names();
        return 2;
    }
#endif
    free_names();
    return 0;
}
