// Real annotation files written by other implementations: each one reads
// back exactly and is written back byte for byte.
#include "support.h"

#include <sstream>

#ifndef SHARED_FIXTURES
#error SHARED_FIXTURES must name the shared fixtures folder
#endif

namespace {

const std::string kDir = std::string(SHARED_FIXTURES) + "/wfdb";

class Fixtures : public ScratchDir {
protected:
    void SetUp() override
    {
        ScratchDir::SetUp();
        if (!exists(kDir + "/100.atr")) GTEST_SKIP() << "shared fixtures absent: " << kDir << " (test skipped)";
        ::setenv("WFDB", kDir.c_str(), 1);
    }
};

// Reads record.ann from the fixtures and writes what getann delivered with
// putann, in the same order, to the scratch directory.
void copy_through_library(const std::string &record, const std::string &ann)
{
    int rc = 0;
    std::vector<Ann> anns = read_all(record, ann, &rc);
    ASSERT_EQ(rc, -1) << record << "." << ann << " did not read to a clean end";
    ASSERT_FALSE(anns.empty());
    // The output opened after the input, as a program copying a file does.
    std::string name = ann;
    WFDB_Anninfo ai{&name[0], WFDB_WRITE};
    ASSERT_EQ(annopen(record.c_str(), &ai, 1), 0);
    EXPECT_EQ(put_all(anns), 0);
    EXPECT_EQ(wfdb_write_status(), 0);
}

TEST_F(Fixtures, RoundTripIsByteIdentical)
{
    for (const char *file : {"100.atr", "12726.anI", "03700181.sqrs", "03700181.gqrsl"}) {
        SCOPED_TRACE(file);
        std::string f = file;
        std::string record = f.substr(0, f.find('.')), ann = f.substr(f.find('.') + 1);
        copy_through_library(record, ann);
        Bytes want = read_file(kDir + "/" + f), got = read_file(f);
        ASSERT_EQ(got.size(), want.size());
        EXPECT_TRUE(got == want) << "first difference at byte "
                                 << std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
    }
}

std::string run_lister(const std::string &args)
{
    std::string cmd = std::string(ANNLIST) + " " + args;
    std::string out;
    if (FILE *p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        EXPECT_EQ(::pclose(p), 0) << cmd;
    }
    return out;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The listings of the real rdann, time column included (from the records'
// header files beside them), come out byte for byte.
TEST_F(Fixtures, ListerMatchesRealListings)
{
    for (const char *file : {"100.atr", "12726.anI"}) {
        SCOPED_TRACE(file);
        std::string f = file;
        const Bytes listing = read_file(kDir + "/" + f + ".rdann.txt");
        std::vector<std::string> want = lines(std::string(listing.begin(), listing.end()));
        std::vector<std::string> got =
            lines(run_lister(f.substr(0, f.find('.')) + " " + f.substr(f.find('.') + 1)));
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
        std::string all;
        for (const std::string &l : got) all += l + "\n";
        EXPECT_TRUE(all == std::string(listing.begin(), listing.end()));
    }
}

// wfdb-python's decodings: tab-separated idx, sample, symbol, code,
// subtype, chan, num, aux ("-" or quoted with \xHH escapes).  They list the
// header block as rows; getann delivers what follows it.
std::vector<Ann> python_listing(const std::string &path)
{
    std::vector<Ann> out;
    const Bytes raw = read_file(path);
    for (const std::string &l : lines(std::string(raw.begin(), raw.end()))) {
        if (l.empty() || l[0] == '#') continue;
        std::vector<std::string> f;
        std::istringstream in(l);
        for (std::string c; std::getline(in, c, '\t');) f.push_back(c);
        if (f.size() < 8) continue;
        Ann a{std::stol(f[1]), std::stoi(f[3]), std::stoi(f[4]), std::stoi(f[5]), std::stoi(f[6])};
        if (f[7] != "-") {
            std::string s = f[7].substr(1, f[7].size() - 2), aux;
            for (size_t i = 0; i < s.size(); ++i) {
                if (s[i] == '\\' && i + 3 < s.size() + 0 && s[i + 1] == 'x') {
                    aux.push_back(char(std::stoi(s.substr(i + 2, 2), nullptr, 16)));
                    i += 3;
                } else {
                    aux.push_back(s[i]);
                }
            }
            a = with_aux(a, aux);
        }
        bool header = a.time == 0 && (a.code == 0 || (a.code == NOTE && a.aux.rfind("## ", 0) == 0));
        if (!header) out.push_back(a);
    }
    return out;
}

TEST_F(Fixtures, ReaderMatchesIndependentDecodings)
{
    for (const char *file : {"03700181.sqrs", "03700181.gqrsl"}) {
        SCOPED_TRACE(file);
        std::string f = file;
        std::vector<Ann> want = python_listing(kDir + "/" + f + ".listing.txt");
        ASSERT_FALSE(want.empty());
        int rc = 0;
        EXPECT_EQ(read_all(f.substr(0, f.find('.')), f.substr(f.find('.') + 1), &rc), want);
        EXPECT_EQ(rc, -1);
    }
}

} // namespace
