// logmend: applies an annotation edit log (standard input) to a record's
// annotation file and writes the result as a new annotation file.
#include <common/std_descriptors.h>
#include <wfdb/wfdb.h>

#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>

// One annotation of the list.  key = time*65536 + chan*256 + (num+128).
struct ap {
    int64_t key;
    int anntyp;
    signed char subtyp;
    unsigned char *aux; // own copy: count byte, text, zero byte; or none
    ap *next;
    ap *prev;
};

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
static ap *aphead;
static ap *aptail;

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

// Every allocation but the list's nodes goes through here.
static void *zalloc(size_t size, const char *what)
{
    void *p = injected_failure(what) ? nullptr : std::calloc(size, 1);
    if (!p) nomem(size, what);
    return p;
}

// List nodes and index entries are many, small and reached at random, so
// they come from large blocks that ask the kernel for huge pages: on a big
// record that removes most TLB misses from every edit.  Released blocks are
// reused.  Sanitizer builds use the heap, so that misuse is caught.
#if defined(__SANITIZE_ADDRESS__)
#define HEAP_NODES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_NODES 1
#endif
#endif
static const size_t nodesize = 48;

#ifdef HEAP_NODES
static void *node_alloc(size_t size, const char *what) { return zalloc(size, what); }
static void node_free(void *p) { std::free(p); }
#else
static const size_t chunksize = size_t(32) << 20;
static char *chunknext, *chunkend;
static void *nodefree;

static void *node_alloc(size_t size, const char *what)
{
    void *p = nullptr;
    if (size <= nodesize && !injected_failure(what)) {
        if (nodefree) {
            p = nodefree;
            std::memcpy(&nodefree, p, sizeof nodefree);
            std::memset(p, 0, nodesize);
        } else {
            if (size_t(chunkend - chunknext) < nodesize) {
                void *c = ::mmap(nullptr, chunksize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
                if (c != MAP_FAILED) {
                    (void)::madvise(c, chunksize, MADV_HUGEPAGE);
                    chunknext = static_cast<char *>(c);
                    chunkend = chunknext + chunksize;
                }
            }
            if (size_t(chunkend - chunknext) >= nodesize) { // fresh mappings are zero-filled
                p = chunknext;
                chunknext += nodesize;
            }
        }
    }
    if (!p) nomem(size, what);
    return p;
}

static void node_free(void *p)
{
    if (!p) return;
    std::memcpy(p, &nodefree, sizeof nodefree);
    nodefree = p;
}
#endif

static_assert(sizeof(ap) <= nodesize, "list nodes must fit the node blocks");

// Allocator that takes the index's entries from the node blocks.
template <class T> struct apalloc {
    typedef T value_type;
    apalloc() = default;
    template <class U> apalloc(const apalloc<U> &) {}
    T *allocate(size_t n)
    {
        if (n * sizeof(T) > nodesize) return static_cast<T *>(zalloc(n * sizeof(T), "apindex"));
        return static_cast<T *>(node_alloc(n * sizeof(T), "apindex"));
    }
    void deallocate(T *p, size_t n)
    {
        if (n * sizeof(T) > nodesize)
            std::free(p);
        else
            node_free(p);
    }
    template <class U> bool operator==(const apalloc<U> &) const { return true; }
    template <class U> bool operator!=(const apalloc<U> &) const { return false; }
};

// Index over the list: each key present maps to the first node (nearest
// aphead) of its run of equal keys.
typedef std::map<int64_t, ap *, std::less<int64_t>, apalloc<std::pair<const int64_t, ap *>>> apmap;
static apmap apindex;

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
    size_t n = 0;
    int c = EOF;
    while (n < sizeof logtext - 1 && (c = std::getc(stdin)) != EOF) {
        logtext[n++] = char(c);
        if (c == '\n') break;
    }
    if (n == sizeof logtext - 1 && c != '\n') {
        int first = c = std::getc(stdin);
        while (c != EOF && c != '\n') c = std::getc(stdin);
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

// Links apthis right before node 'before', or after aptail when none.
static void link_before(ap *apthis, ap *before)
{
    if (before) {
        apthis->prev = before->prev;
        apthis->next = before;
        before->prev->next = apthis;
        before->prev = apthis;
    } else {
        apthis->prev = aptail;
        aptail->next = apthis;
        aptail = apthis;
    }
}

static int insert_ann()
{
    ap *apthis = static_cast<ap *>(node_alloc(sizeof(ap), "apthis"));
    apthis->anntyp = (signed char)annot.anntyp;
    apthis->subtyp = annot.subtyp;
    apthis->key = make_key(annot.time, annot.chan, annot.num);
    if (annot.aux && annot.aux[0] != 0) {
        apthis->aux = static_cast<unsigned char *>(zalloc(auxlen + 2, "apthis->aux"));
        std::memcpy(apthis->aux, annot.aux, auxlen + 1);
    }

    // A new node goes before every node of equal key.  Loading a file in
    // key order appends at the tail, with the index entry added at its end.
    if (aptail == aphead || aptail->key < apthis->key) {
        apindex.emplace_hint(apindex.end(), apthis->key, apthis);
        link_before(apthis, nullptr);
        return 1;
    }
    apmap::iterator it = apindex.lower_bound(apthis->key);
    if (it != apindex.end() && it->first == apthis->key) {
        link_before(apthis, it->second);
        it->second = apthis;
    } else {
        link_before(apthis, it == apindex.end() ? nullptr : it->second);
        apindex.emplace_hint(it, apthis->key, apthis);
    }
    return 1;
}

static int aux_equal(const unsigned char *a, const unsigned char *b, size_t blen)
{
    if (!a || !b) return !a && !b;
    return a[0] == b[0] && node_auxlen(a) == blen && std::memcmp(a + 1, b + 1, blen) == 0;
}

static int delete_ann()
{
    int64_t key = make_key(annot.time, annot.chan, annot.num);
    apmap::iterator it = apindex.find(key);
    if (it == apindex.end()) return 0;

    // Of the matches in the run, the one nearest the end goes.
    ap *match = nullptr;
    for (ap *p = it->second; p && p->key == key; p = p->next)
        if (p->anntyp == (signed char)annot.anntyp && p->subtyp == annot.subtyp &&
            aux_equal(p->aux, annot.aux, auxlen))
            match = p;
    if (!match) return 0;

    if (it->second == match) {
        if (match->next && match->next->key == key)
            it->second = match->next;
        else
            apindex.erase(it);
    }
    match->prev->next = match->next;
    if (match->next)
        match->next->prev = match->prev;
    else
        aptail = match->prev;
    std::free(match->aux);
    node_free(match);
    return 1;
}

static void free_list()
{
    apindex.clear();
    while (aphead) {
        ap *next = aphead->next;
        std::free(aphead->aux);
        node_free(aphead);
        aphead = next;
    }
    aptail = nullptr;
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

    aphead = aptail = static_cast<ap *>(node_alloc(sizeof(ap), "aphead"));
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
    apindex.clear();

    for (ap *apthis = aphead->next; apthis;) {
        node_free(apthis->prev);
        annot.anntyp = char(apthis->anntyp);
        annot.subtyp = apthis->subtyp;
        annot.time = WFDB_Time(apthis->key >> 16);
        annot.chan = (unsigned char)((apthis->key >> 8) & 255);
        annot.num = (signed char)((apthis->key & 255) - 128);
        annot.aux = apthis->aux;
        if (putann(0, &annot) != 0) {
            // The library drops the unfinished output.
            aphead = apthis;
            apthis->prev = nullptr;
            cant_write(ai.name);
        }
        apthis = apthis->next;
        std::free(annot.aux);
    }
    node_free(aptail);
    aphead = aptail = nullptr;
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
