// annlist through the built program: what reaches standard output, what is
// reported, and the exit status, when the listing can't be delivered.
#include <wfdb/wfdb.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

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
    Record()
    {
        char t[] = "/tmp/annlist_test.XXXXXX";
        dir = ::mkdtemp(t);
        char *cwd = ::get_current_dir_name();
        std::string old = cwd ? cwd : "/";
        std::free(cwd);
        EXPECT_EQ(::chdir(dir.c_str()), 0);
        WFDB_Anninfo ai{const_cast<char *>("atr"), WFDB_WRITE};
        EXPECT_EQ(annopen("rec", &ai, 1), 0);
        WFDB_Annotation a{};
        a.time = 18;
        a.anntyp = NORMAL;
        EXPECT_EQ(putann(0, &a), 0);
        wfdbquit();
        EXPECT_EQ(::chdir(old.c_str()), 0);
    }
    ~Record() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

struct Outcome {
    int status;
    std::string out, err;
};

// stdout_setup, in the child, puts standard output where the case wants it;
// out and err are files under the record's directory.
Outcome run_annlist(const Record &r, const std::function<void()> &setup)
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
        ::execl(ANNLIST_BIN, "annlist", "rec", "atr", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st), slurp(r.dir + "/out"), slurp(r.dir + "/err")};
}

TEST(Output, AListingThatCannotBeDeliveredIsReported)
{
    const std::string listing = "     18     N    0    0    0\n";
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

} // namespace
