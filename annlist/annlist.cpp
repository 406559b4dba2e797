// annlist: prints an annotation file one annotation a line, in the columns
// of the WFDB tools' listings: time, sample, mnemonic, subtype, channel,
// number, and the aux text after a tab.  The time column needs the record's
// header file; without one, the listing starts at the sample column.
#include <common/std_descriptors.h>
#include <wfdb/wfdb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "record_header.h"
#include "time_text.h"

#ifndef ANNLIST_VERSION
#define ANNLIST_VERSION "unknown"
#endif

static const char *pname = "annlist";

static void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: %s [-r] RECORD [-a] ANNOTATOR [-f TIME] [-t TIME] [-v]\n"
                 "       %s -h | --version\n"
                 "TIME is a sample number sNNN or an elapsed time [[hh:]mm:]ss[.sss]\n",
                 pname, pname);
}

static int bad_usage(const char *what, const char *arg)
{
    std::fprintf(stderr, "%s: %s '%s'\n", pname, what, arg);
    usage(stderr);
    return 1;
}

int main(int argc, char **argv)
{
    if (!open_std_descriptors()) return 4;
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc > 0 && argv[0]) pname = argv[0];

    const char *record = nullptr, *annotator = nullptr, *from = nullptr, *to = nullptr;
    bool heading = false;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (!std::strcmp(a, "-h") || !std::strcmp(a, "--help")) {
            usage(stdout);
            return std::fflush(stdout) == 0 ? 0 : 4;
        }
        if (!std::strcmp(a, "--version")) {
            std::printf("annlist %s\n", ANNLIST_VERSION);
            return std::fflush(stdout) == 0 ? 0 : 4;
        }
        if (!std::strcmp(a, "-v")) {
            heading = true;
            continue;
        }
        const char **slot = !std::strcmp(a, "-r") ? &record
                            : !std::strcmp(a, "-a") ? &annotator
                            : !std::strcmp(a, "-f") ? &from
                            : !std::strcmp(a, "-t") ? &to
                                                     : nullptr;
        if (slot) {
            if (i + 1 >= argc) return bad_usage("a value must follow", a);
            if (*slot) return bad_usage("given twice:", a);
            *slot = argv[++i];
        } else if (a[0] == '-' && a[1] != '\0') {
            return bad_usage("unknown option", a);
        } else if (!record) {
            record = a;
        } else if (!annotator) {
            annotator = a;
        } else {
            return bad_usage("one argument too many:", a);
        }
    }
    if (!record || !annotator) {
        std::fprintf(stderr, "%s: a record and an annotator are needed\n", pname);
        usage(stderr);
        return 1;
    }

    WFDB_Anninfo ai;
    ai.name = const_cast<char *>(annotator);
    ai.stat = WFDB_READ;
    if (annopen(record, &ai, 1) != 0) {
        std::fprintf(stderr, "%s: can't read annotation file '%s.%s'\n", pname, record, annotator);
        return 2;
    }

    // The header gives the clock; without one, times stay sample numbers.
    RecordHeader header;
    bool timed = false;
    if (const char *hea = wfdbfile("hea", record)) {
        std::string path = hea;
        std::string err = read_record_header(path.c_str(), &header);
        if (err.empty())
            timed = true;
        else
            std::fprintf(stderr, "%s: can't use header file '%s' (%s): times are in samples\n", pname, path.c_str(),
                         err.c_str());
    } else {
        std::fprintf(stderr, "%s: no header file '%s.hea' on the WFDB path: times are in samples\n", pname, record);
    }

    long first = 0, last = -1;
    for (auto [text, where] : {std::make_pair(from, &first), std::make_pair(to, &last)}) {
        if (!text) continue;
        std::string err = parse_time_arg(text, timed ? &header : nullptr, where);
        if (!err.empty()) {
            std::fprintf(stderr, "%s: bad time '%s': %s\n", pname, text, err.c_str());
            wfdbquit();
            return 1;
        }
    }
    if (to && last < first) {
        std::fprintf(stderr, "%s: the end time '%s' comes before the start\n", pname, to);
        wfdbquit();
        return 1;
    }

    if (heading) std::printf(timed ? "      Time   Sample #  Type  Sub Chan  Num\tAux\n" : " Sample  Type  Sub Chan  Num\tAux\n");
    WFDB_Annotation annot;
    int rc;
    while ((rc = getann(0, &annot)) == 0) {
        if (annot.time < first || (to && annot.time > last)) continue;
        if (timed) std::printf("%s  ", time_column(annot.time, header).c_str());
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
        std::fprintf(stderr, "%s: error reading '%s.%s'\n", pname, record, annotator);
        return 3;
    }
    // A listing that did not reach its reader is a failure, however small.
    bool flushed = std::fflush(stdout) == 0;
    int err = errno;
    if (!flushed || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: can't write the listing of '%s.%s': %s\n", pname, record, annotator,
                     flushed ? "write error" : std::strerror(err));
        return 4;
    }
    return 0;
}
