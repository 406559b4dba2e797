// annlist through the built program: what reaches standard output, what is
// reported, and the exit status: the time column a header gives, the
// options, hostile headers, and a listing that can't be delivered.
#include <wfdb/wfdb.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

struct Record {
    std::string dir;
    explicit Record(std::vector<long> times = {18})
    {
        char t[] = "/tmp/annlist_test.XXXXXX";
        dir = ::mkdtemp(t);
        char *cwd = ::get_current_dir_name();
        std::string old = cwd ? cwd : "/";
        std::free(cwd);
        EXPECT_EQ(::chdir(dir.c_str()), 0);
        WFDB_Anninfo ai{const_cast<char *>("atr"), WFDB_WRITE};
        EXPECT_EQ(annopen("rec", &ai, 1), 0);
        for (long t : times) {
            WFDB_Annotation a{};
            a.time = t;
            a.anntyp = NORMAL;
            EXPECT_EQ(putann(0, &a), 0);
        }
        wfdbquit();
        EXPECT_EQ(::chdir(old.c_str()), 0);
        header("rec 1 360\n");
    }
    void header(const std::string &text) const { std::ofstream(dir + "/rec.hea", std::ios::binary) << text; }
    void no_header() const { ::unlink((dir + "/rec.hea").c_str()); }
    ~Record() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

struct Outcome {
    int status;
    std::string out, err;
};

// stdout_setup, in the child, puts standard output where the case wants it;
// out and err are files under the record's directory.
Outcome run_annlist(const Record &r, const std::function<void()> &setup,
                    std::vector<std::string> args = {"rec", "atr"})
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(r.dir.c_str()) != 0) ::_exit(126);
        int out = ::open("out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open("err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::close(out);
        ::close(err);
        ::unsetenv("WFDB");
        setup();
        std::vector<char *> argv{const_cast<char *>("annlist")};
        for (std::string &a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        ::execv(ANNLIST_BIN, argv.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st), slurp(r.dir + "/out"), slurp(r.dir + "/err")};
}

TEST(Output, AListingThatCannotBeDeliveredIsReported)
{
    const std::string listing = "    0:00.050       18     N    0    0    0\n";
    struct {
        const char *name;
        std::function<void()> setup;
        int status;
        std::string out, err;
    } cases[] = {
        {"standard output on /dev/full", [] { ::dup2(::open("/dev/full", O_WRONLY), 1); }, 4, "",
         "annlist: can't write the listing of 'rec.atr': No space left on device\n"},
        {"standard output closed", [] { ::close(1); }, 4, "",
         "annlist: can't write the listing of 'rec.atr': Bad file descriptor\n"},
        {"standard error closed", [] { ::close(2); }, 0, listing, ""},
        {"both as they should be", [] {}, 0, listing, ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        Record rec;
        Outcome r = run_annlist(rec, c.setup);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

const std::function<void()> kAsIs = [] {};

// The first column of each line, up to the two spaces before the sample.
std::vector<std::string> time_columns(const std::string &out)
{
    std::vector<std::string> cols;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        size_t at = l.find("  ", l.find_first_not_of(' '));
        cols.push_back(at == std::string::npos ? l : l.substr(0, at));
    }
    return cols;
}

const std::vector<long> kTimes = {18, 21618, 1296018, 31104018}; // at 360/s: +0.05 s, 1 min, 1 h, 24 h

TEST(Header, GivesTheTimeColumn)
{
    struct {
        const char *header;
        std::vector<std::string> times;
    } cases[] = {
        {"rec 1 360\n", {"    0:00.050", "    1:00.050", " 1:00:00.050", "24:00:00.050"}},
        {"# comment\n\n  \t\nrec/2 1 360 400000\r\n", {"    0:00.050", "    1:00.050", " 1:00:00.050", "24:00:00.050"}},
        {"rec 1\n", {"    0:00.072", "    1:26.472", " 1:26:24.072", "34:33:36.072"}}, // no frequency: 250
        {"rec 1 720\n", {"    0:00.025", "    0:30.025", "   30:00.025", "12:00:00.025"}},
        {"rec 1 360/24000(7) 1 10:00:00\n", {"[10:00:00.050]", "[10:01:00.050]", "[11:00:00.050]", "[10:00:00.050]"}},
        {"rec 1 360 1 23:59:59.95\n", {"[00:00:00.000]", "[00:01:00.000]", "[01:00:00.000]", "[00:00:00.000]"}},
        {"rec 1 360 1 23:59:59.95 31/12/1999\n",
         {"[00:00:00.000 01/01/2000]", "[00:01:00.000 01/01/2000]", "[01:00:00.000 01/01/2000]",
          "[00:00:00.000 02/01/2000]"}},
        {"rec 1 360 1 0:0:0 28/02/2000\n",
         {"[00:00:00.050 28/02/2000]", "[00:01:00.050 28/02/2000]", "[01:00:00.050 28/02/2000]",
          "[00:00:00.050 29/02/2000]"}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.header);
        Record rec(kTimes);
        rec.header(c.header);
        Outcome r = run_annlist(rec, kAsIs);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(time_columns(r.out), c.times);
    }
}

// A header that can't be trusted is set aside with one message; the listing
// is the one without a header, and the run succeeds.
TEST(Header, HostileHeadersFallBackToSamples)
{
    std::string nul = "rec 1 360";
    nul[5] = '\0';
    const std::string cases[] = {
        "",
        "# only a comment\n",
        "rec\n",
        "rec x 360\n",
        "rec/x 1 360\n",
        "rec 1 0\n",
        "rec 1 -360\n",
        "rec 1 abc\n",
        "rec 1 3.6e2\n",
        "rec 1 1.2.3\n",
        "rec 1 360/0\n",
        "rec 1 360/10(5\n",
        "rec 1 360 many\n",
        "rec 1 360 10 25:00:00\n",
        "rec 1 360 10 12:60:00\n",
        "rec 1 360 10 12:00\n",
        "rec 1 360 10 12:00:00 30/02/2001\n",
        "rec 1 360 10 12:00:00 29/02/1900\n",
        nul,
        "rec 1 " + std::string(100000, '9') + "\n",
        "rec 1 360 " + std::string(100000, '9') + "\n",
        std::string(70000, '#') + "\nrec 1 360\n", // the record line lies beyond what is read
    };
    for (const std::string &h : cases) {
        SCOPED_TRACE(h.substr(0, 60));
        Record rec;
        rec.header(h);
        Outcome r = run_annlist(rec, kAsIs);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "     18     N    0    0    0\n");
        EXPECT_EQ(r.err.rfind("annlist: can't use header file '", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("): times are in samples\n"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    }
}

TEST(Header, NoneSaysSoOnce)
{
    Record rec;
    rec.no_header();
    Outcome r = run_annlist(rec, kAsIs);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "     18     N    0    0    0\n");
    EXPECT_EQ(r.err, "annlist: no header file 'rec.hea' on the WFDB path: times are in samples\n");
}

TEST(Options, SelectAndReport)
{
    const std::string l18 = "    0:00.050       18     N    0    0    0\n",
                      l21618 = "    1:00.050    21618     N    0    0    0\n",
                      l1296018 = " 1:00:00.050  1296018     N    0    0    0\n",
                      last = "24:00:00.050  31104018     N    0    0    0\n";
    struct {
        std::vector<std::string> args;
        int status;
        std::string out;   // exact, or the start of it when err_has is "usage"
        std::string err_has;
    } cases[] = {
        {{"-r", "rec", "-a", "atr"}, 0, l18 + l21618 + l1296018 + last, ""},
        {{"-a", "atr", "rec"}, 0, l18 + l21618 + l1296018 + last, ""},
        {{"rec", "atr", "-f", "s19"}, 0, l21618 + l1296018 + last, ""},
        {{"rec", "atr", "-f", "s21618", "-t", "s1296018"}, 0, l21618 + l1296018, ""},
        {{"rec", "atr", "-t", "1:00.05"}, 0, l18 + l21618, ""},
        {{"rec", "atr", "-t", "1:00.04"}, 0, l18, ""},
        {{"rec", "atr", "-f", "1:00:00", "-t", "23:59:59"}, 0, l1296018, ""},
        {{"rec", "atr", "-f", "3600.05"}, 0, l1296018 + last, ""},
        {{"rec", "atr", "-v", "-t", "s18"}, 0, "      Time   Sample #  Type  Sub Chan  Num\tAux\n" + l18, ""},
        {{"-h"}, 0, "usage: annlist [-r] RECORD [-a] ANNOTATOR", ""},
        {{"--version"}, 0, "annlist 1.0.0\n", ""},
        {{"rec", "atr", "-x"}, 1, "", "unknown option '-x'"},
        {{"rec", "atr", "-f"}, 1, "", "a value must follow '-f'"},
        {{"rec"}, 1, "", "a record and an annotator are needed"},
        {{"rec", "atr", "more"}, 1, "", "one argument too many: 'more'"},
        {{"rec", "atr", "-f", "1:75"}, 1, "", "bad time '1:75'"},
        {{"rec", "atr", "-f", "s1x"}, 1, "", "bad time 's1x'"},
        {{"rec", "atr", "-f", "1:2:3:4"}, 1, "", "bad time '1:2:3:4'"},
        {{"rec", "atr", "-f", "s20", "-t", "s10"}, 1, "", "comes before the start"},
        {{"rec", "nosuch"}, 2, "", "can't read annotation file 'rec.nosuch'"},
    };
    for (auto &c : cases) {
        std::string name;
        for (auto &a : c.args) name += a + " ";
        SCOPED_TRACE(name);
        Record rec(kTimes);
        Outcome r = run_annlist(rec, kAsIs, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.args[0] == "-h") {
            EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
        } else {
            EXPECT_EQ(r.out, c.out);
        }
        if (c.err_has.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
        }
        if (c.status == 1 && c.err_has.find("time") == std::string::npos &&
            c.err_has.find("before") == std::string::npos) {
            EXPECT_NE(r.err.find("usage: annlist"), std::string::npos) << r.err; // option faults show the usage
        }
    }
}

// Times need a frequency: without a header only sample numbers are taken.
TEST(Options, ClockTimesNeedAHeader)
{
    Record rec(kTimes);
    rec.no_header();
    Outcome r = run_annlist(rec, kAsIs, {"rec", "atr", "-f", "1:00"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("needs the record's sampling frequency"), std::string::npos) << r.err;
    r = run_annlist(rec, kAsIs, {"rec", "atr", "-f", "s21618", "-v"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " Sample  Type  Sub Chan  Num\tAux\n  21618     N    0    0    0\n1296018     N    0    0    0\n"
                     "31104018     N    0    0    0\n");
}

} // namespace
