// mkann RECORD ANNOTATOR: writes the annotation file <RECORD>.<ANNOTATOR>
// in the current directory from a listing on standard input, one
// annotation a line in annlist's columns:
//   sample mnemonic subtyp chan num [TAB aux text]
// A mnemonic may also be given as a bracketed code, e.g. [42].
// Empty lines and lines starting with '#' are skipped.
#include <wfdb/wfdb.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RECORD ANNOTATOR < listing\n", argv[0]);
        return 1;
    }
    WFDB_Anninfo ai;
    ai.name = argv[2];
    ai.stat = WFDB_WRITE;
    if (annopen(argv[1], &ai, 1) != 0) {
        std::fprintf(stderr, "%s: can't create '%s.%s'\n", argv[0], argv[1], argv[2]);
        return 2;
    }
    char line[1024];
    long lineno = 0;
    while (std::fgets(line, sizeof line, stdin)) {
        lineno++;
        line[std::strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0' || line[0] == '#') continue;
        char *tab = std::strchr(line, '\t');
        if (tab) *tab = '\0';
        long time;
        char mnem[64];
        int subtyp, chan, num, code;
        if (std::sscanf(line, "%ld %63s %d %d %d", &time, mnem, &subtyp, &chan, &num) != 5 ||
            ((code = strann(mnem)) == 0 && std::sscanf(mnem, "[%d]", &code) != 1)) {
            std::fprintf(stderr, "%s: bad line %ld\n", argv[0], lineno);
            wfdbquit();
            return 1;
        }
        WFDB_Annotation a{};
        unsigned char aux[257];
        a.time = time;
        a.anntyp = char(code);
        a.subtyp = (signed char)subtyp;
        a.chan = (unsigned char)chan;
        a.num = (signed char)num;
        if (tab) {
            size_t n = std::strlen(tab + 1);
            if (n > 255) n = 255;
            aux[0] = (unsigned char)n;
            std::memcpy(aux + 1, tab + 1, n);
            aux[n + 1] = 0;
            a.aux = aux;
        }
        if (putann(0, &a) != 0) break;
    }
    wfdbquit();
#ifdef WFDB_HAVE_WRITE_STATUS
    if (wfdb_write_status() != 0) {
        std::fprintf(stderr, "%s: can't write '%s.%s'\n", argv[0], argv[1], argv[2]);
        return 2;
    }
#endif
    return 0;
}
