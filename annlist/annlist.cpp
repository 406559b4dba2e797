// annlist RECORD ANNOTATOR: prints an annotation file one annotation a line,
// in the columns of the WFDB tools' listings: sample, mnemonic, subtype,
// channel, number, and the aux text after a tab.
#include <common/std_descriptors.h>
#include <wfdb/wfdb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (!open_std_descriptors()) return 4;
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RECORD ANNOTATOR\n", argv[0]);
        return 1;
    }
    WFDB_Anninfo ai;
    ai.name = argv[2];
    ai.stat = WFDB_READ;
    if (annopen(argv[1], &ai, 1) != 0) {
        std::fprintf(stderr, "%s: can't read annotation file '%s.%s'\n", argv[0], argv[1], argv[2]);
        return 2;
    }
    WFDB_Annotation annot;
    int rc;
    while ((rc = getann(0, &annot)) == 0) {
        std::printf("%7ld%6s%5d%5d%5d", annot.time, annstr(annot.anntyp), annot.subtyp, annot.chan, annot.num);
        if (annot.aux) {
            // Printed as text: up to the count, or to a zero byte within it.
            const char *text = reinterpret_cast<const char *>(annot.aux + 1);
            std::printf("\t%.*s", int(strnlen(text, annot.aux[0])), text);
        }
        std::putchar('\n');
    }
    wfdbquit();
    if (rc != -1) {
        std::fprintf(stderr, "%s: error reading '%s.%s'\n", argv[0], argv[1], argv[2]);
        return 3;
    }
    // A listing that did not reach its reader is a failure, however small.
    bool flushed = std::fflush(stdout) == 0;
    int err = errno;
    if (!flushed || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: can't write the listing of '%s.%s': %s\n", argv[0], argv[1], argv[2],
                     flushed ? "write error" : std::strerror(err));
        return 4;
    }
    return 0;
}
