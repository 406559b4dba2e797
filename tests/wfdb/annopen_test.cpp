// Opening annotators: names, numbering, the WFDB path, header blocks, and
// output files that appear whole or not at all.
#include "support.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

class Annopen : public ScratchDir {};

TEST_F(Annopen, RefusesAnnotatorNamesThatLeaveTheRecord)
{
    ASSERT_EQ(::mkdir("sub", 0755), 0);
    write_file("rec.atr", {0x00, 0x00});
    for (const char *name : {"", "../x", "sub/atr", "/tmp/x"}) {
        SCOPED_TRACE(std::string("name '") + name + "'");
        WFDB_Anninfo in{const_cast<char *>(name), WFDB_READ}, out{const_cast<char *>(name), WFDB_WRITE};
        EXPECT_EQ(annopen("rec", &in, 1), -3);
        EXPECT_EQ(annopen("rec", &out, 1), -4);
        wfdbquit();
    }
    EXPECT_EQ(dir_entries("sub").size(), 0u);
    EXPECT_EQ(dir_entries(".").size(), 2u); // rec.atr and sub
    WFDB_Anninfo bad{const_cast<char *>("atr"), 7};
    EXPECT_EQ(annopen("rec", &bad, 1), -5);
}

TEST_F(Annopen, NumbersInputsAndOutputsApartAndClosesUnlessPlus)
{
    ASSERT_EQ(write_all("rec", "a", {{10, NORMAL}}), 0);
    ASSERT_EQ(write_all("rec", "b", {{20, PVC}}), 0);
    WFDB_Anninfo ai[3] = {{const_cast<char *>("a"), WFDB_READ},
                          {const_cast<char *>("c"), WFDB_WRITE},
                          {const_cast<char *>("b"), WFDB_READ}};
    ASSERT_EQ(annopen("rec", ai, 3), 0);
    WFDB_Annotation x;
    ASSERT_EQ(getann(1, &x), 0);
    EXPECT_EQ(x.time, 20); // b is input 1
    ASSERT_EQ(getann(0, &x), 0);
    EXPECT_EQ(x.time, 10);
    EXPECT_EQ(putann(1, &x), -2);
    EXPECT_EQ(getann(2, &x), -2);
    EXPECT_EQ(putann(0, &x), 0);

    // "+" keeps what is open: input 0 still reads on.
    WFDB_Anninfo more{const_cast<char *>("d"), WFDB_WRITE};
    ASSERT_EQ(annopen("+rec", &more, 1), 0);
    EXPECT_EQ(getann(0, &x), -1);
    EXPECT_FALSE(exists("rec.c")) << "output completed before it was closed";
    // Without "+", everything open before is closed and completed.
    WFDB_Anninfo again{const_cast<char *>("a"), WFDB_READ};
    ASSERT_EQ(annopen("rec", &again, 1), 0);
    EXPECT_EQ(read_file("rec.c"), (Bytes{0x0a, 0x04, 0x00, 0x00}));
    EXPECT_EQ(read_file("rec.d"), (Bytes{0x00, 0x00}));
    EXPECT_EQ(getann(1, &x), -2);
}

TEST_F(Annopen, FindsInputsOnTheWfdbPath)
{
    ASSERT_EQ(::mkdir("one", 0755), 0);
    ASSERT_EQ(::mkdir("two", 0755), 0);
    ASSERT_EQ(::mkdir("two/deep", 0755), 0);
    write_file("two/rec.atr", {0x02, 0x04, 0x00, 0x00});
    write_file("rec.atr", {0x01, 0x04, 0x00, 0x00});
    write_file("two/deep/r2.atr", {0x03, 0x04, 0x00, 0x00});
    struct Case {
        const char *wfdb, *record;
        long time; // of the annotation found; -1 for none
    } cases[] = {
        {nullptr, "rec", 1},          // default: the current directory
        {"one:two", "rec", 2},        // first match wins
        {"one two", "rec", 2},        // white space separates too
        {":two", "rec", 1},           // an empty component is the current directory
        {"one", "rec", -1},           // the current directory is not searched unless named
        {"two", "deep/r2", 3},        // a record name with a directory
        {"", "two/deep/r2", 3},       // found through its own prefix
        {"http://example.invalid/db:two", "rec", 2}, // remote components are passed over
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("WFDB=") + (c.wfdb ? c.wfdb : "(unset)") + " record " + c.record);
        if (c.wfdb)
            ::setenv("WFDB", c.wfdb, 1);
        else
            ::unsetenv("WFDB");
        int rc = 0;
        std::vector<Ann> got = read_all(c.record, "atr", &rc);
        if (c.time < 0) {
            EXPECT_EQ(rc, -3);
        } else {
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].time, c.time);
        }
        wfdbquit();
    }
    // A directory where the file should be is not an annotation file.
    ::unsetenv("WFDB");
    ASSERT_EQ(::mkdir("dir.atr", 0755), 0);
    WFDB_Anninfo ai{const_cast<char *>("atr"), WFDB_READ};
    EXPECT_EQ(annopen("dir", &ai, 1), -3);
}

TEST_F(Annopen, WritesBesideTheRecordsDirectory)
{
    ASSERT_EQ(::mkdir("data", 0755), 0);
    ASSERT_EQ(write_all("data/rec", "qrs", {{1, NORMAL}}), 0);
    EXPECT_EQ(read_file("data/rec.qrs"), (Bytes{0x01, 0x04, 0x00, 0x00}));
    EXPECT_EQ(dir_entries("data").size(), 1u);
}

// A leading block of NOTEs at time 0 closed by SKIP -1 and a code-0 word is
// file metadata: not delivered, its labels name codes, and an output opened
// after the input gets the same block.
TEST_F(Annopen, HeaderBlockIsMetadataAndIsCarriedToOutputs)
{
    auto note = [](const std::string &s) {
        Bytes b = {0x00, 0x58, static_cast<unsigned char>(s.size()), 0xfc};
        b.insert(b.end(), s.begin(), s.end());
        if (s.size() & 1) b.push_back(0);
        return b;
    };
    Bytes file;
    for (const char *s : {"## annotation type definitions", "15 c calibration pulse\n", "## end of definitions"}) {
        Bytes n = note(s);
        file.insert(file.end(), n.begin(), n.end());
    }
    const Bytes close_block = {0x00, 0xec, 0xff, 0xff, 0xff, 0xff, 0x01, 0x00};
    file.insert(file.end(), close_block.begin(), close_block.end());
    const size_t block_size = file.size();
    const Bytes body = {0x64, 0x3c, 0x02, 0xf8, 0x00, 0x00}; // code 15 at 100, chan 2
    file.insert(file.end(), body.begin(), body.end());
    write_file("rec.lab", file);

    int rc = 0;
    std::vector<Ann> got = read_all("rec", "lab", &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(got, (std::vector<Ann>{{100, 15, 0, 2, 0}}));
    EXPECT_STREQ(annstr(15), "c");
    EXPECT_EQ(strann("c"), 15);
    EXPECT_STREQ(anndesc(15), "calibration pulse");

    WFDB_Anninfo out{const_cast<char *>("copy"), WFDB_WRITE};
    ASSERT_EQ(annopen("rec", &out, 1), 0);
    EXPECT_EQ(put_all(got), 0); // also wfdbquit
    EXPECT_EQ(read_file("rec.copy"), file);

    // wfdbquit forgets the labels and the block.
    EXPECT_STREQ(annstr(15), "[15]");
    EXPECT_EQ(strann("c"), 0);
    ASSERT_EQ(write_all("rec", "plain", got), 0);
    EXPECT_EQ(read_file("rec.plain"), body) << "block written without an input";

    // NOTEs at 0 that are not closed that way are ordinary annotations.
    Bytes open_block(file.begin(), file.begin() + long(block_size) - 8);
    open_block.insert(open_block.end(), {0x05, 0x04, 0x00, 0x00});
    write_file("rec.notes", open_block);
    got = read_all("rec", "notes", &rc);
    EXPECT_EQ(rc, -1);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], with_aux({0, NOTE}, "## annotation type definitions"));
    EXPECT_EQ(got[3], (Ann{5, NORMAL}));
}

TEST_F(Annopen, MnemonicsOfTheStandardCodes)
{
    struct { int code; const char *mnemonic; } cases[] = {
        {NORMAL, "N"}, {PVC, "V"}, {PACE, "/"}, {NOISE, "~"}, {ARFCT, "|"}, {NOTE, "\""},
        {RHYTHM, "+"}, {WFON, "("}, {WFOFF, ")"}, {RONT, "r"}, {15, "[15]"}, {42, "[42]"},
    };
    for (const auto &c : cases) {
        EXPECT_STREQ(annstr(c.code), c.mnemonic);
        EXPECT_EQ(strann(c.mnemonic), c.mnemonic[0] == '[' ? 0 : c.code) << c.mnemonic;
    }
    EXPECT_EQ(strann(""), 0);
    EXPECT_EQ(strann("NN"), 0);
    EXPECT_EQ(anndesc(15), nullptr);
}

// In a child under a file-size limit of `limit` bytes (SIGXFSZ ignored),
// writes annotations 1..count at `step` samples apart to rec.NAME.  Answers
// the child's exit status: bit 0 when a putann answered -1, bit 1 when
// wfdb_write_status() reported the failure after wfdbquit.
int write_under_limit(const char *name, rlim_t limit, long count, long step)
{
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        WFDB_Anninfo ai{const_cast<char *>(name), WFDB_WRITE};
        if (annopen("rec", &ai, 1) != 0) ::_exit(10);
        std::vector<Ann> anns;
        for (long t = 1; t <= count; ++t) anns.push_back({t * step, NORMAL});
        int put = put_all(anns, false);
        wfdbquit();
        ::_exit((put == -1 ? 1 : 0) | (wfdb_write_status() == -1 ? 2 : 0));
    }
    int st = 0;
    if (::waitpid(pid, &st, 0) != pid || !WIFEXITED(st)) return -1;
    return WEXITSTATUS(st);
}

// Output appears whole or not at all: under a small file-size limit the
// write fails, no file and no temporary file is left, an old file of that
// name is untouched, and the caller is told.
TEST_F(Annopen, WriteFailureLeavesNothingAndOldFileUntouched)
{
    const Bytes old = {0x07, 0x04, 0x00, 0x00};
    write_file("rec.keep", old);
    for (const char *name : {"keep", "new"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(write_under_limit(name, 4096, 100000, 3), 3)
            << "the failure was not reported by putann and the status";
    }
    EXPECT_EQ(read_file("rec.keep"), old);
    EXPECT_EQ(dir_entries("."), std::vector<std::string>{"rec.keep"});

    // A failure that shows only at close: the limit lets every putann's
    // buffered bytes through but not the final flush.
    EXPECT_EQ(write_under_limit("keep", 100, 200, 1), 2);
    EXPECT_EQ(read_file("rec.keep"), old);
    EXPECT_EQ(dir_entries("."), std::vector<std::string>{"rec.keep"});
}

TEST_F(Annopen, OutputIntoADirectoryOrUnwritablePlaceIsRefused)
{
    ASSERT_EQ(::mkdir("rec.out", 0755), 0);
    WFDB_Anninfo ai{const_cast<char *>("out"), WFDB_WRITE};
    EXPECT_EQ(annopen("rec", &ai, 1), -4);
    EXPECT_EQ(annopen("nosuchdir/rec", &ai, 1), -4);
    wfdbquit();
    EXPECT_EQ(wfdb_write_status(), 0);
    EXPECT_EQ(dir_entries("rec.out").size(), 0u);
}

// A program that ends without wfdbquit leaves no temporary file behind.
TEST_F(Annopen, UnfinishedOutputIsRemovedAtExit)
{
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        WFDB_Anninfo ai{const_cast<char *>("out"), WFDB_WRITE};
        if (annopen("rec", &ai, 1) != 0) ::_exit(10);
        put_all({{1, NORMAL}}, false);
        std::exit(0);
    }
    int st = 0;
    ASSERT_EQ(::waitpid(pid, &st, 0), pid);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    EXPECT_EQ(dir_entries(".").size(), 0u);
}

} // namespace
