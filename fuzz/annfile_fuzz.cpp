// Arbitrary bytes as an annotation file: read with getann until it stops,
// write what was read back with putann, and read the copy again.  The copy
// must hold exactly what the first read delivered.
#include <wfdb/wfdb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct Held {
    WFDB_Annotation a;
    std::vector<unsigned char> aux;
};

std::vector<Held> read_all(const char *ann, int *rc)
{
    std::vector<Held> out;
    WFDB_Anninfo ai{const_cast<char *>(ann), WFDB_READ};
    *rc = annopen("f", &ai, 1);
    if (*rc) return out;
    WFDB_Annotation a;
    while ((*rc = getann(0, &a)) == 0) {
        Held h{a, {}};
        if (a.aux) h.aux.assign(a.aux, a.aux + 1 + a.aux[0]);
        out.push_back(std::move(h));
        if (out.size() > 100000) break;
    }
    return out;
}

std::string workdir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char tmpl[] = "/dev/shm/annfile_fuzz.XXXXXX";
    char tmpl2[] = "/tmp/annfile_fuzz.XXXXXX";
    const char *d = mkdtemp(tmpl);
    if (!d) d = mkdtemp(tmpl2);
    if (!d || chdir(d) != 0) std::abort();
    workdir = d;
    unsetenv("WFDB");
    wfdbquiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *f = std::fopen("f.in", "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    int rc;
    std::vector<Held> first = read_all("in", &rc);
    if (rc != -1 && rc != -3 && rc != -4 && rc != 0) std::abort();

    WFDB_Anninfo out{const_cast<char *>("out"), WFDB_WRITE};
    if (annopen("f", &out, 1) != 0) std::abort();
    for (Held &h : first) {
        h.a.aux = h.aux.empty() ? nullptr : h.aux.data();
        if (putann(0, &h.a) != 0) std::abort(); // everything read is writable
    }
    wfdbquit();
    if (wfdb_write_status() != 0) std::abort();

    std::vector<Held> second = read_all("out", &rc);
    if (rc != -1) std::abort();
    if (second.size() != first.size()) std::abort();
    for (size_t i = 0; i < first.size(); ++i) {
        const WFDB_Annotation &x = first[i].a, &y = second[i].a;
        if (x.time != y.time || x.anntyp != y.anntyp || x.subtyp != y.subtyp || x.chan != y.chan || x.num != y.num ||
            first[i].aux != second[i].aux)
            std::abort();
    }
    wfdbquit();
    return 0;
}
