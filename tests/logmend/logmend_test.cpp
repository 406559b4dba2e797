// Black-box tests of logmend: each case writes a record's annotation file
// with the library, runs the built program on an edit log, and checks the
// resulting file (read back with getann), standard error, exit status and
// which files the record's directory holds afterwards.
#include <wfdb/wfdb.h>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string H = "[VIZodeViv-1.0] Record rec, annotator atr (250 samples/second)\n\n";

std::string slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &text)
{
    std::ofstream f(path, std::ios::binary);
    f << text;
}

bool exists(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

struct TempDir {
    std::string path;
    TempDir()
    {
        char t[] = "/tmp/logmend_test.XXXXXX";
        path = ::mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// Names in a directory, sorted, separated by spaces.
std::string list_dir(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (dirent *e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string s;
    for (auto &n : names) s += (s.empty() ? "" : " ") + n;
    return s;
}

// Runs the library in dir, where it reads and writes.
struct InDir {
    std::string old;
    explicit InDir(const std::string &dir)
    {
        char buf[4096];
        old = ::getcwd(buf, sizeof buf);
        ::setenv("WFDB", "", 1);
        EXPECT_EQ(::chdir(dir.c_str()), 0);
    }
    ~InDir() { (void)::chdir(old.c_str()); }
};

// Listing lines: "time mnemonic subtyp chan num", then, when there is an
// aux, a tab and its text (bytes outside printable ASCII as \xHH).
void write_ann(const std::string &dir, const char *record, const char *name, const std::string &listing)
{
    InDir in(dir);
    WFDB_Anninfo ai{const_cast<char *>(name), WFDB_WRITE};
    ASSERT_EQ(annopen(record, &ai, 1), 0);
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::string aux;
        size_t tab = line.find('\t');
        bool hasaux = tab != std::string::npos;
        if (hasaux) {
            aux = line.substr(tab + 1);
            line.resize(tab);
        }
        long time;
        char mnem[32];
        int sub, chan, num;
        ASSERT_EQ(std::sscanf(line.c_str(), "%ld %31s %d %d %d", &time, mnem, &sub, &chan, &num), 5) << line;
        WFDB_Annotation a{};
        a.time = time;
        a.anntyp = char(strann(mnem));
        ASSERT_NE(a.anntyp, 0) << line;
        a.subtyp = (signed char)sub;
        a.chan = (unsigned char)chan;
        a.num = (signed char)num;
        std::string counted;
        if (hasaux) {
            counted = std::string(1, char(aux.size())) + aux + '\0';
            a.aux = reinterpret_cast<unsigned char *>(&counted[0]);
        }
        ASSERT_EQ(putann(0, &a), 0);
    }
    wfdbquit();
#ifdef WFDB_HAVE_WRITE_STATUS
    ASSERT_EQ(wfdb_write_status(), 0);
#endif
}

// The file's listing, in the form write_ann takes; "(unreadable)" when it
// doesn't open or doesn't read to a clean end.
std::string read_ann(const std::string &dir, const char *record, const char *name)
{
    InDir in(dir);
    WFDB_Anninfo ai{const_cast<char *>(name), WFDB_READ};
    if (annopen(record, &ai, 1) != 0) return "(unreadable)";
    std::string out;
    WFDB_Annotation a;
    int rc;
    while ((rc = getann(0, &a)) == 0) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%ld %s %d %d %d", long(a.time), annstr(a.anntyp), a.subtyp, a.chan, a.num);
        out += buf;
        if (a.aux) {
            out += '\t';
            for (int i = 1; i <= a.aux[0]; i++) {
                unsigned char c = a.aux[i];
                if (c >= 0x20 && c <= 0x7e) {
                    out += char(c);
                } else {
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                }
            }
        }
        out += '\n';
    }
    wfdbquit();
    return rc == -1 ? out : "(unreadable)";
}

struct RunResult {
    int status;
    std::string err, out;
};

struct Options {
    const char *wfdb = nullptr;   // WFDB in the child's environment
    long fsize = 0;               // file size limit, bytes
    long failalloc = 0;           // which allocation fails
    std::function<void()> child;  // runs in the child just before exec
};

RunResult run_logmend(const std::string &dir, const std::string &input, const Options &o = Options())
{
    TempDir io;
    spit(io.path + "/in", input);
    const char *bin = o.failalloc ? LOGMEND_FAILALLOC_BIN : LOGMEND_BIN;
    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open((io.path + "/in").c_str(), O_RDONLY);
        int out = ::open((io.path + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open((io.path + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (o.wfdb)
            ::setenv("WFDB", o.wfdb, 1);
        else
            ::unsetenv("WFDB");
        if (o.failalloc) ::setenv("LOGMEND_FAILALLOC", std::to_string(o.failalloc).c_str(), 1);
        if (o.fsize) {
            // As a shell's ulimit leaves it: the signal at its default action.
            ::signal(SIGXFSZ, SIG_DFL);
            rlimit rl{rlim_t(o.fsize), rlim_t(o.fsize)};
            ::setrlimit(RLIMIT_FSIZE, &rl);
        }
        if (o.child) o.child();
        ::execl(bin, "logmend", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = slurp(io.path + "/out");
    r.err = slurp(io.path + "/err");
    return r;
}

std::string repeat(char c, size_t n) { return std::string(n, c); }

const char *const PARSE_ERR = "logmend: can't parse input file (format error)\n";

struct Case {
    const char *name;
    const char *initial;    // listing of rec.atr; nullptr: no such file
    std::string log;
    const char *outname;    // annotator written, nullptr: none
    std::string listing;    // expected listing of that output
    std::string err;
    int status;
    const char *files;      // the directory's contents afterwards
    std::function<void(const std::string &)> setup = nullptr;
    Options opt = Options();
    bool crlf = false;      // run once more with CR LF line ends
};

std::string to_crlf(const std::string &s)
{
    std::string r;
    for (char c : s) {
        if (c == '\n') r += '\r';
        r += c;
    }
    return r;
}

void check_case(const Case &c, const std::string &log)
{
    TempDir dir;
    if (c.initial) write_ann(dir.path, "rec", "atr", c.initial);
    if (c.setup) c.setup(dir.path);
    bool had_input = exists(dir.path + "/rec.atr");
    std::string before = had_input ? slurp(dir.path + "/rec.atr") : "";

    RunResult r = run_logmend(dir.path, log, c.opt);

    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(list_dir(dir.path), c.files);
    if (c.outname) {
        EXPECT_EQ(read_ann(dir.path, "rec", c.outname), c.listing);
    }
    if (had_input) {
        EXPECT_TRUE(slurp(dir.path + "/rec.atr") == before) << "input file changed";
    }
}

void run_table(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        check_case(c, c.log);
        if (c.crlf) {
            SCOPED_TRACE("with CR LF line ends");
            check_case(c, to_crlf(c.log));
        }
    }
}

TEST(LogEntries, EntryFormsGiveTheirResults)
{
    run_table({
        {"every form of entry line", "1000 N 0 0 0\n2000 V 0 0 0\n",
         H + "3000\n"
             "-1000,N\n"
             "3100-3200,N\n"
             "3300,V{1/2/3},x\n"
             "3400,V{//5}\n"
             "3500,V,a, b{z}\n"
             "3600,XYZ\n"
             "3700,XYZ,hi\n"
             "3800,,x\n"
             "4200-4100,N\n"
             "4300,N{1/2}\n"
             "4400 N\n"
             "\n"
             "-\n"
             "x4500,N\n",
         "atr_",
         "2000 V 0 0 0\n3000 N 0 0 0\n3100 N 0 0 0\n3300 V 1 2 3\tx\n3400 V 0 0 5\n"
         "3500 V 0 0 0\ta, b{z}\n3600 \" 0 0 0\tXYZ\n3700 \" 0 0 0\tXYZ:hi\n3800 \" 0 0 0\t,x\n",
         "(warning): no support for tf at 3100", 0, "rec.atr rec.atr_", nullptr, Options(), true},
        {"subfields keep their low 8 bits", nullptr, H + "8000,N{300/-1/300}\n8100,N{1x/ 2/-128}\n", "atr",
         "8000 N 44 255 44\n8100 N 1 2 -128\n", "", 0, "rec.atr"},
        {"last line without line break: time and code", nullptr, H + "1000,N", "atr", "1000 N 0 0 0\n", "", 0,
         "rec.atr"},
        {"last line without line break: bare time", nullptr, H + "500,V\n1000", "atr", "500 V 0 0 0\n", "", 0,
         "rec.atr"},
        {"last line without line break: bare end time", nullptr, H + "500,V\n1000-2000", "atr", "500 V 0 0 0\n", "",
         0, "rec.atr"},
        {"last line ends at the separator: empty code", nullptr, H + "1000,", "atr", "1000 \" 0 0 0\n", "", 0,
         "rec.atr"},
        {"times too large for the key are rejected", nullptr,
         H + "140737488355327,N\n140737488355328,V\n99999999999999999999999,V\n1-140737488355328,V\n"
             "-99999999999999999999999,N\n",
         "atr", "140737488355327 N 0 0 0\n", "", 0, "rec.atr"},
    });
}

TEST(LogEntries, LongLinesAndLongTexts)
{
    // The 499 characters of the first line end inside its aux; what follows
    // on that line must not become an entry of its own.
    std::string line1 = "5000,N," + repeat('a', 492) + "7000,V\n";
    run_table({
        {"a long line is one entry, its rest discarded", nullptr,
         H + line1 + "6000," + repeat('Z', 300) + "\n9000,XYZ," + repeat('b', 300) + "\n", "atr",
         "5000 N 0 0 0\t" + repeat('a', 255) + "\n6000 \" 0 0 0\t" + repeat('Z', 255) + "\n9000 \" 0 0 0\tXYZ:" +
             repeat('b', 251) + "\n",
         "(warning): aux will be truncated at 5000(warning): aux will be truncated at 6000"
         "(warning): aux will be truncated at 9000",
         0, "rec.atr", nullptr, Options(), true},
        // 498 characters and CR LF: the CR is the 499th, and still a line end.
        {"CR LF across the 499-character limit", nullptr,
         H + "1000,N," + repeat('q', 490) + "\n-1000,N," + repeat('q', 490) + "\r\n", "atr", "",
         "(warning): aux will be truncated at 1000(warning): aux will be truncated at 1000", 0, "rec.atr"},
    });
}

TEST(LogEntries, DeletionsMatchEveryField)
{
    // A deletion whose aux has length 0 matches nothing: nodes never hold one.
    std::string aux300 = repeat('q', 300);
    run_table({
        {"deletions", "1000 N 0 0 0\n1000 N 0 0 0\n2000 V 1 0 0\n3000 N 0 0 0\tab\n4000 \" 0 0 0\tXYZ\n5000 N 0 0 0\n",
         H + "-1000,N\n-2000,V\n-2000,A{1//}\n-3000,N,ac\n-3000,N\n-5000,N,\n-4000,XYZ\n-6000,N\n-1000,N{0/1/0}\n",
         "atr_", "1000 N 0 0 0\n2000 V 1 0 0\n3000 N 0 0 0\tab\n5000 N 0 0 0\n", "", 0, "rec.atr rec.atr_"},
        {"long aux texts match only in full", nullptr,
         H + "100,N," + aux300 + "\n-100,N," + repeat('q', 299) + "r\n200,V," + aux300 + "\n-200,V," + aux300 + "\n",
         "atr", "100 N 0 0 0\t" + repeat('q', 255) + "\n",
         "(warning): aux will be truncated at 100(warning): aux will be truncated at 100"
         "(warning): aux will be truncated at 200(warning): aux will be truncated at 200",
         0, "rec.atr"},
        {"deleting everything leaves an empty file", "1000 N 0 0 0\n2000 V 0 0 0\n", H + "-2000,V\n-1000,N\n", "atr_",
         "", "", 0, "rec.atr rec.atr_"},
    });
}

TEST(AnnotationList, OrderIsTimeChannelNumberNewestFirst)
{
    run_table({
        {"loaded file out of order and with equal keys", "500 V 0 2 0\n500 N 0 1 0\n100 A 0 0 0\n700 N 0 0 0\n700 V 0 0 0\n",
         H, "atr_", "100 A 0 0 0\n500 N 0 1 0\n500 V 0 2 0\n700 V 0 0 0\n700 N 0 0 0\n", "", 0, "rec.atr rec.atr_"},
        {"insertions among loaded annotations", "1000 N 0 0 0\n2000 N 0 0 0\n",
         H + "1000,A\n1000,V{0/2/0}\n1000,V{0/1/5}\n1000,J{0/1/-3}\n1500,F\n2500,E\n", "atr_",
         "1000 A 0 0 0\n1000 N 0 0 0\n1000 J 0 1 -3\n1000 V 0 1 5\n1000 V 0 2 0\n1500 F 0 0 0\n2000 N 0 0 0\n"
         "2500 E 0 0 0\n",
         "", 0, "rec.atr rec.atr_"},
        {"extreme keys, the lowest one included", nullptr,
         H + "5000000,N{0/255/-128}\n5000000,V{0/0/127}\n0,A{0/0/-128}\n0,N\n", "atr",
         "0 A 0 0 -128\n0 N 0 0 0\n5000000 V 0 0 127\n5000000 N 0 255 -128\n", "", 0, "rec.atr"},
        {"deletion then reinsertion at the lowest key", "0 N 0 0 -128\n0 V 0 0 -128\n",
         H + "-0,N{0/0/-128}\n-0,V{0/0/-128}\n0,A{0/0/-128}\n", "atr_", "0 A 0 0 -128\n", "", 0, "rec.atr rec.atr_"},
    });
}

// A record large enough that the list's arrays move while they grow and
// are sorted in bulk: a file out of order (each pair of beats swapped) and
// a log, in reverse time order, that deletes every third beat and inserts
// one between every second pair.
TEST(AnnotationList, LargeRecordOutOfOrderWithManyEdits)
{
    const long n = 300000;
    std::string listing, log = H, expected;
    for (long i = 0; i < n; i += 2) {
        if (i + 1 < n) listing += std::to_string((i + 1) * 10) + " N 0 0 0\n";
        listing += std::to_string(i * 10) + " N 0 0 0\n";
    }
    for (long i = n - 1; i >= 0; i--) {
        if (i % 2 == 0) log += std::to_string(i * 10 + 5) + ",V\n";
        if (i % 3 == 0) log += "-" + std::to_string(i * 10) + ",N\n";
    }
    for (long i = 0; i < n; i++) {
        if (i % 3 != 0) expected += std::to_string(i * 10) + " N 0 0 0\n";
        if (i % 2 == 0) expected += std::to_string(i * 10 + 5) + " V 0 0 0\n";
    }
    TempDir dir;
    write_ann(dir.path, "rec", "atr", listing);
    RunResult r = run_logmend(dir.path, log);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(read_ann(dir.path, "rec", "atr_") == expected) << "the output differs";
}

TEST(RunDriver, OutputNameAndHeader)
{
    const std::string cant_write_none = "logmend: can't write output annotation file 'rec.\n";
    run_table({
        {"empty log copies the loaded annotations", "1000 N 0 0 0\n2000 + 0 0 0\t(N\n", H, "atr_",
         "1000 N 0 0 0\n2000 + 0 0 0\t(N\n", "", 0, "rec.atr rec.atr_"},
        {"no input file: insertions only, under the annotator's own name", nullptr, H + "3000,V\n1000,N\n2000,A\n",
         "atr", "1000 N 0 0 0\n2000 A 0 0 0\n3000 V 0 0 0\n", "", 0, "rec.atr"},
        {"no input file, empty log", nullptr, H, "atr", "", "", 0, "rec.atr"},
        {"every entry rejected", "1000 N 0 0 0\n", H + "x\n1000 N\n\n1000", "atr_", "1000 N 0 0 0\n", "", 0,
         "rec.atr rec.atr_"},
        {"input file found on the WFDB path", nullptr, H + "5,N\n", "atr_", "3 V 0 0 0\n5 N 0 0 0\n", "", 0,
         "db rec.atr_", [](const std::string &d) {
             ::mkdir((d + "/db").c_str(), 0755);
             write_ann(d + "/db", "rec", "atr", "3 V 0 0 0\n");
         },
         [] { Options o; o.wfdb = "/nonexistent: db"; return o; }()},
        {"header with text after the frequency", nullptr,
         "[VIZodeViv-1.0] Record rec, annotator atr (250 samples/second) etc.\r\n\r\n1,N\n", "atr", "1 N 0 0 0\n",
         "", 0, "rec.atr"},
        {"header whose frequency is not a number", nullptr,
         "[VIZodeViv-1.0] Record rec, annotator atr (fast samples/second)\n\n1,N\n", "atr", "1 N 0 0 0\n", "", 0,
         "rec.atr"},
        {"empty annotator name", nullptr, "[VIZodeViv-1.0] Record rec, annotator  (250 samples/second)\n\n", nullptr,
         "", cant_write_none, 2, ""},
        {"output that can't be created", nullptr,
         "[VIZodeViv-1.0] Record nodir/rec, annotator atr (250 samples/second)\n\n1,N\n", nullptr, "",
         "logmend: can't write output annotation file 'nodir/rec.atr\n", 2, ""},
    });
}

TEST(RunDriver, RejectedHeaders)
{
    const std::string ok = "[VIZodeViv-1.0] Record rec, annotator atr (250 samples/second)";
    std::vector<std::string> logs = {
        "",
        ok,
        ok + "\n",
        ok + "\n1000,N\n",
        "[VIZodeViv-1.1] Record rec, annotator atr (250 samples/second)\n\n",
        "[VIZodeViv-1.0] Record rec annotator atr (250 samples/second)\n\n",
        "[VIZodeViv-1.0] Record rec, annotator atr  (250 samples/second)\n\n",
        "[VIZodeViv-1.0] Record rec, annotator atr(250 samples/second)\n\n",
        "[VIZodeViv-1.0] Record rec, annotator atr (250samples/second)\n\n",
        "[VIZodeViv-1.0] Record rec, annotator atr (250 samples/minute)\n\n",
        "[VIZodeViv-1.0] Record rec, Annotator atr (250 samples/second)\n\n",
        "[VIZodeViv-1.0] Record " + repeat('r', 480) + ", annotator atr (250 samples/second)\n\n",
    };
    std::vector<Case> cases;
    for (const std::string &log : logs)
        cases.push_back({"rejected header", "1000 N 0 0 0\n", log, nullptr, "", PARSE_ERR, 1, "rec.atr"});
    run_table(cases);
}

TEST(RunDriver, NeverOverwritesWhatCouldNotBeRead)
{
    const std::string cant_read = "logmend: can't read annotation file 'rec.atr'\n";
    auto raw = [](std::string bytes) {
        return [bytes](const std::string &d) { spit(d + "/rec.atr", bytes); };
    };
    auto dir = [](const char *sub) {
        return [sub](const std::string &d) {
            ::mkdir((d + "/" + sub).c_str(), 0755);
            if (std::strcmp(sub, "rec.atr")) ::mkdir((d + "/" + sub + "/rec.atr").c_str(), 0755);
        };
    };
    Options indb;
    indb.wfdb = "db";
    run_table({
        {"file ending inside an aux", nullptr, H + "1,N\n", nullptr, "", cant_read, 3, "rec.atr",
         raw(std::string("\x12\x70\x03\xfc\x28", 5))},
        {"input that won't open where the output would go", nullptr, H + "1,N\n", nullptr, "", cant_read, 3,
         "rec.atr", dir("rec.atr")},
        {"input that won't open on the WFDB path", nullptr, H + "1,N\n", nullptr, "", cant_read, 3, "db",
         dir("db"), indb},
    });
}

TEST(RunDriver, WriteFailureLeavesNoOutput)
{
    std::string listing;
    for (int i = 1; i <= 3000; i++) listing += std::to_string(i * 300) + " N 0 0 0\tbeat\n";
    Options small;
    small.fsize = 8192;
    run_table({
        {"output larger than the file size limit", listing.c_str(), H + "5,V\n", nullptr, "",
         "logmend: can't write output annotation file 'rec.atr_\n", 2, "rec.atr", nullptr, small},
    });
}

// Every allocation in turn fails: the run stops with status 1, leaves no
// output behind, and (under the sanitizers) touches no freed or missing
// memory.  Only the header's allocations come before the library is
// silenced, so only they are reported; the test build names each one.
TEST(RunDriver, AllocationFailures)
{
    const std::string log = H + "1500,V,x\n-2000,N\n1000,XYZ,t\n-1000,N\n";
    std::set<std::string> names;
    int n;
    for (n = 1; n < 200; n++) {
        SCOPED_TRACE("failing allocation " + std::to_string(n));
        TempDir dir;
        write_ann(dir.path, "rec", "atr", "1000 N 0 0 0\n2000 N 0 0 0\tab\n3000 V 0 0 0\n");
        Options o;
        o.failalloc = n;
        RunResult r = run_logmend(dir.path, log, o);
        if (r.status == 0) {
            EXPECT_EQ(r.err, "");
            break;
        }
        EXPECT_EQ(r.status, 1);
        const std::string mark = "(injected failure: ";
        ASSERT_EQ(r.err.compare(0, mark.size(), mark), 0) << r.err;
        size_t close = r.err.find(")\n");
        ASSERT_NE(close, std::string::npos);
        std::string name = r.err.substr(mark.size(), close - mark.size());
        names.insert(name);
        std::string report = r.err.substr(close + 2);
        if (n == 1) {
            EXPECT_EQ(name, "record");
            EXPECT_EQ(report, "WFDB: can't allocate (4*1) bytes for record\n");
        } else if (n == 2) {
            EXPECT_EQ(name, "annotator");
            EXPECT_EQ(report, "WFDB: can't allocate (4*1) bytes for annotator\n");
        } else if (n == 3) {
            EXPECT_EQ(name, "aphead");
            EXPECT_EQ(report, "WFDB: can't allocate (" + std::to_string(sizeof(void *) * 3) + "*1) bytes for aphead\n");
        } else {
            EXPECT_EQ(report, "");
        }
        EXPECT_EQ(list_dir(dir.path), "rec.atr");
    }
    EXPECT_LT(n, 200) << "the run never completed";
    // Every kind of allocation the run makes was made to fail once.
    EXPECT_EQ(names, (std::set<std::string>{"record", "annotator", "aphead", "oaname", "apedit", "apthis->aux", "apsort",
                                            "aplive", "annot.aux"}));
}

// Real files through an empty log: a file already in key order with
// distinct keys comes out byte for byte, its header block (sqrs) included.
TEST(Fixtures, EmptyLogReproducesRealFiles)
{
    std::string fixtures = std::string(SHARED_FIXTURES) + "/wfdb";
    if (!exists(fixtures + "/100.atr")) GTEST_SKIP() << "fixtures not found in " << fixtures;
    struct {
        const char *record, *name;
    } files[] = {{"100", "atr"}, {"12726", "anI"}, {"03700181", "sqrs"}, {"03700181", "gqrsl"}};
    for (auto &f : files) {
        SCOPED_TRACE(f.record);
        TempDir dir;
        Options o;
        o.wfdb = fixtures.c_str();
        RunResult r = run_logmend(dir.path,
                            std::string("[VIZodeViv-1.0] Record ") + f.record + ", annotator " + f.name +
                                " (360 samples/second)\n\n",
                            o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        std::string out = slurp(dir.path + "/" + f.record + "." + f.name + "_");
        std::string in = slurp(fixtures + "/" + f.record + "." + f.name);
        EXPECT_FALSE(in.empty());
        EXPECT_TRUE(out == in) << "output differs from " << f.record << "." << f.name;
    }
}

// The same fixture with edits: the listing changes exactly where the log says.
TEST(Fixtures, EditsOnARealFile)
{
    std::string fixtures = std::string(SHARED_FIXTURES) + "/wfdb";
    if (!exists(fixtures + "/100.atr")) GTEST_SKIP() << "fixtures not found in " << fixtures;
    TempDir dir;
    Options o;
    o.wfdb = fixtures.c_str();
    RunResult r = run_logmend(dir.path,
                        "[VIZodeViv-1.0] Record 100, annotator atr (360 samples/second)\n\n"
                        "-77,N\n-18,+,(N\n200,V\n-546792,V{1//}\n",
                        o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // The rhythm's aux in the file counts a zero byte after "(N", so the
    // log's "(N" doesn't match it.
    std::string out = read_ann(dir.path, "100", "atr_");
    const std::string head = "18 + 0 0 0\t(N\\x00\n200 V 0 0 0\n370 N 0 0 0\n662 N 0 0 0\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_EQ(out.find("546792 V"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2274 - 2 + 1);
}

// A small file system of our own, when this process may mount one (root);
// the test skips otherwise.
struct SmallFs {
    TempDir dir;
    bool mounted = false;
    explicit SmallFs(const char *options)
    {
        std::string cmd = std::string("mount -t tmpfs -o ") + options + " tmpfs '" + dir.path + "' 2>/dev/null";
        mounted = std::system(cmd.c_str()) == 0;
    }
    bool remount(const char *options)
    {
        return std::system(("mount -o remount," + std::string(options) + " '" + dir.path + "' 2>/dev/null").c_str()) == 0;
    }
    ~SmallFs()
    {
        if (mounted) std::system(("umount '" + dir.path + "'").c_str());
    }
};

// Where the output can't go: a full or read-only file system, or a
// directory in the output's place.  Each time: the message, status 2, no
// partial output, and the input file byte for byte as it was.
TEST(Faults, OutputThatCannotBeWritten)
{
    const std::string cant_write = "logmend: can't write output annotation file 'rec.atr_\n";
    std::string log = H;
    for (int i = 1; i <= 20000; i++) log += std::to_string(i * 7) + ",N,some aux text\n";

    {
        SCOPED_TRACE("full file system");
        SmallFs fs("size=64k");
        if (!fs.mounted) GTEST_SKIP() << "can't mount a tmpfs here (not root?): fault tests skipped";
        write_ann(fs.dir.path, "rec", "atr", "1000 N 0 0 0\n2000 V 0 0 0\tx\n");
        const std::string before = slurp(fs.dir.path + "/rec.atr");
        RunResult r = run_logmend(fs.dir.path, log);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, cant_write);
        EXPECT_EQ(list_dir(fs.dir.path), "rec.atr");
        EXPECT_TRUE(slurp(fs.dir.path + "/rec.atr") == before);
    }
    {
        SCOPED_TRACE("read-only file system");
        SmallFs fs("size=1m");
        ASSERT_TRUE(fs.mounted);
        write_ann(fs.dir.path, "rec", "atr", "1000 N 0 0 0\n");
        const std::string before = slurp(fs.dir.path + "/rec.atr");
        ASSERT_TRUE(fs.remount("ro"));
        RunResult r = run_logmend(fs.dir.path, H + "5,V\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, cant_write);
        EXPECT_EQ(list_dir(fs.dir.path), "rec.atr");
        EXPECT_TRUE(slurp(fs.dir.path + "/rec.atr") == before);
        fs.remount("rw");
    }
    {
        SCOPED_TRACE("a directory where the output goes");
        TempDir d;
        write_ann(d.path, "rec", "atr", "1000 N 0 0 0\n");
        ASSERT_EQ(::mkdir((d.path + "/rec.atr_").c_str(), 0755), 0);
        spit(d.path + "/rec.atr_/keep", "mine");
        RunResult r = run_logmend(d.path, H + "5,V\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, cant_write);
        EXPECT_EQ(list_dir(d.path), "rec.atr rec.atr_");
        EXPECT_EQ(list_dir(d.path + "/rec.atr_"), "keep");
        EXPECT_EQ(slurp(d.path + "/rec.atr_/keep"), "mine");
    }
}

// The input cut at every byte: either what is left reads as complete
// annotations (status 0, the output holds them) or the run stops with the
// read message, status 3 and no output.  The input is never touched.
TEST(Faults, InputTruncatedAtEveryOffset)
{
    TempDir src;
    write_ann(src.path, "rec", "atr",
              "18 + 0 0 0\t(N\n77 N 0 1 2\n5000 V 3 0 0\n100000 \" 0 255 -1\tfour\n100001 N 0 0 0\n");
    const std::string full = slurp(src.path + "/rec.atr");
    const std::string listing = read_ann(src.path, "rec", "atr");
    std::vector<std::string> lines;
    std::istringstream in(listing);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 5u);

    int clean = 0, refused = 0;
    for (size_t n = 0; n <= full.size(); n++) {
        SCOPED_TRACE("input cut to " + std::to_string(n) + " bytes");
        TempDir d;
        const std::string cut = full.substr(0, n);
        spit(d.path + "/rec.atr", cut);
        RunResult r = run_logmend(d.path, H);
        EXPECT_TRUE(slurp(d.path + "/rec.atr") == cut) << "input changed";
        if (r.status == 3) {
            refused++;
            EXPECT_EQ(r.err, "logmend: can't read annotation file 'rec.atr'\n");
            EXPECT_EQ(list_dir(d.path), "rec.atr");
            continue;
        }
        clean++;
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        // A cut right after an annotation word loses its modifiers unseen;
        // every annotation before it is whole.
        std::vector<std::string> got;
        std::istringstream out(read_ann(d.path, "rec", "atr_"));
        for (std::string l; std::getline(out, l);) got.push_back(l);
        ASSERT_LE(got.size(), lines.size());
        for (size_t k = 0; k + 1 < got.size(); k++) EXPECT_EQ(got[k], lines[k]);
    }
    EXPECT_GT(clean, 5);
    EXPECT_GT(refused, 5);
}

// How the program is started and stopped: closed descriptors, unreadable
// input, signals, limits.  Whatever happens, the output is whole and
// correct or absent, and the input untouched.
const std::string LONG_RUN = H + "1000-2000,N\n1500,N," + repeat('w', 300) + "\n";

TEST(Environment, ClosedStandardDescriptors)
{
    const std::string listing = "1000 N 0 0 0\n1500 N 0 0 0\t" + repeat('w', 255) + "\n";
    for (int fd : {1, 2}) {
        SCOPED_TRACE("descriptor " + std::to_string(fd) + " closed");
        TempDir dir;
        Options o;
        o.child = [fd] { ::close(fd); };
        RunResult r = run_logmend(dir.path, LONG_RUN, o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(read_ann(dir.path, "rec", "atr"), listing);
        EXPECT_EQ(list_dir(dir.path), "rec.atr");
    }
    {
        SCOPED_TRACE("standard input closed");
        TempDir dir;
        Options o;
        o.child = [] { ::close(0); };
        RunResult r = run_logmend(dir.path, LONG_RUN, o);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, PARSE_ERR);
        EXPECT_EQ(list_dir(dir.path), "");
    }
}

// A pseudo-terminal whose other side has gone: the data written to it is
// read, then every read fails with EIO.
int eio_after(const std::string &data)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) return -1;
    termios t;
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    if (::write(slave, data.data(), data.size()) != ssize_t(data.size())) return -1;
    ::close(slave);
    return master;
}

TEST(Environment, UnreadableEditLog)
{
    const std::string cant_read_log = "logmend: can't read the edit log\n";
    struct {
        const char *name;
        std::function<int(const std::string &)> open_stdin;
    } cases[] = {
        {"read error in the middle of a line",
         [](const std::string &) { return eio_after(H + "1000,V\n-1000,N\n-3"); }},
        {"read error in the header", [](const std::string &) { return eio_after("[VIZodeViv-1.0] Rec"); }},
        {"standard input is a directory", [](const std::string &d) { return ::open(d.c_str(), O_RDONLY); }},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        write_ann(dir.path, "rec", "atr", "1000 N 0 0 0\n");
        const std::string before = slurp(dir.path + "/rec.atr");
        int fd = c.open_stdin(dir.path);
        ASSERT_GE(fd, 0);
        Options o;
        o.child = [fd] { ::dup2(fd, 0); };
        RunResult r = run_logmend(dir.path, "", o);
        ::close(fd);
        EXPECT_EQ(r.status, 4);
        EXPECT_EQ(r.err, cant_read_log);
        EXPECT_EQ(list_dir(dir.path), "rec.atr");
        EXPECT_TRUE(slurp(dir.path + "/rec.atr") == before);
    }
}

// logmend started with its log on a pipe that stays open, so that it waits
// with its output annotator open.
struct Waiting {
    pid_t pid = -1;
    int log = -1;
    Waiting(const std::string &dir, const std::string &input, int errfd)
    {
        int p[2];
        if (::pipe(p) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(p[0], 0);
            ::dup2(errfd, 2);
            ::close(p[1]);
            if (::chdir(dir.c_str()) != 0) ::_exit(126);
            ::unsetenv("WFDB");
            for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM}) ::signal(sig, SIG_DFL);
            ::execl(LOGMEND_BIN, "logmend", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(p[0]);
        log = p[1];
        EXPECT_EQ(::write(log, input.data(), input.size()), ssize_t(input.size()));
    }
    // Until the temporary output appears beside the target.
    bool output_open(const std::string &dir)
    {
        for (int i = 0; i < 1000; i++) {
            if (list_dir(dir).find(".rec.atr") != std::string::npos) return true;
            ::usleep(10000);
        }
        return false;
    }
    int wait_status()
    {
        if (log >= 0) ::close(log);
        log = -1;
        int st = 0;
        ::waitpid(pid, &st, 0);
        return st;
    }
};

TEST(Environment, SignalsRemoveTheTemporaryFile)
{
    int devnull = ::open("/dev/null", O_WRONLY);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        SCOPED_TRACE(strsignal(sig));
        TempDir dir;
        Waiting w(dir.path, H + "1000,N\n", devnull);
        ASSERT_TRUE(w.output_open(dir.path));
        ::kill(w.pid, sig);
        int st = w.wait_status();
        EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << "status " << st;
        EXPECT_EQ(list_dir(dir.path), "");
    }
    ::close(devnull);
    {
        // Messages into a pipe whose reader has gone.
        SCOPED_TRACE("SIGPIPE");
        TempDir dir;
        write_ann(dir.path, "rec", "atr", "1000 N 0 0 0\n");
        int p[2];
        ASSERT_EQ(::pipe(p), 0);
        ::close(p[0]);
        Waiting w(dir.path, LONG_RUN, p[1]);
        ::close(p[1]);
        int st = w.wait_status();
        EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGPIPE) << "status " << st;
        EXPECT_EQ(list_dir(dir.path), "rec.atr");
    }
}

TEST(Environment, NamesAsLongAsTheFileSystemTakes)
{
    TempDir dir;
    long max = ::pathconf(dir.path.c_str(), _PC_NAME_MAX);
    ASSERT_GT(max, 12);
    const std::string rec = repeat('r', size_t(max) - 4); // rec + ".atr": the longest name
    RunResult r = run_logmend(dir.path, "[VIZodeViv-1.0] Record " + rec + ", annotator atr (250 samples/second)\n\n7,V\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(list_dir(dir.path), rec + ".atr");
    EXPECT_EQ(read_ann(dir.path, rec.c_str(), "atr"), "7 V 0 0 0\n");
}

// After the rename, the directory is synced: a power loss can't take the
// new name back.  Seen through strace, where it can run.
TEST(Environment, DirectorySyncedAfterRename)
{
    if (std::system("strace -o /dev/null true 2>/dev/null") != 0) GTEST_SKIP() << "strace can't run here";
    TempDir dir, io;
    write_ann(dir.path, "rec", "atr", "1000 N 0 0 0\n");
    spit(io.path + "/in", LONG_RUN);
    // LeakSanitizer can't run under ptrace.
    std::string cmd = "cd '" + dir.path + "' && ASAN_OPTIONS=detect_leaks=0 strace -qq -o '" + io.path +
                      "/trace' -e trace=rename,renameat,renameat2,openat,fsync " LOGMEND_BIN " < '" + io.path +
                      "/in' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::istringstream trace(slurp(io.path + "/trace"));
    bool renamed = false;
    std::string dirfd;
    bool synced = false;
    for (std::string line; std::getline(trace, line);) {
        if (line.find("rename") == 0 && line.find("\"rec.atr_\"") != std::string::npos) renamed = true;
        if (renamed && line.find("O_DIRECTORY") != std::string::npos && line.find("\".\"") != std::string::npos)
            dirfd = line.substr(line.rfind("= ") + 2);
        if (!dirfd.empty() && line.rfind("fsync(" + dirfd + ")", 0) == 0 && line.size() > 3 &&
            line.compare(line.size() - 3, 3, "= 0") == 0)
            synced = true;
    }
    EXPECT_TRUE(renamed && synced) << slurp(io.path + "/trace");
    EXPECT_EQ(read_ann(dir.path, "rec", "atr_"), "1000 N 0 0 0\n1000 N 0 0 0\n1500 N 0 0 0\t" + repeat('w', 255) + "\n");
}

} // namespace
