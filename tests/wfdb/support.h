// Helpers for the library's tests: a scratch directory per test, byte
// files, and annotations held by value.
#ifndef TESTS_WFDB_SUPPORT_H
#define TESTS_WFDB_SUPPORT_H

#include <wfdb/wfdb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

using Bytes = std::vector<unsigned char>;

struct Ann {
    long time;
    int code;
    int subtyp, chan, num;
    bool has_aux = false;
    std::string aux; // bytes after the count byte

    Ann(long t, int c, int s = 0, int ch = 0, int n = 0) : time(t), code(c), subtyp(s), chan(ch), num(n) {}

    bool operator==(const Ann &o) const
    {
        return time == o.time && code == o.code && subtyp == o.subtyp && chan == o.chan && num == o.num &&
               has_aux == o.has_aux && aux == o.aux;
    }
};

inline Ann with_aux(Ann a, const std::string &aux)
{
    a.has_aux = true;
    a.aux = aux;
    return a;
}

inline std::ostream &operator<<(std::ostream &os, const Ann &a)
{
    os << "{" << a.time << " code " << a.code << " sub " << a.subtyp << " chan " << a.chan << " num " << a.num;
    if (a.has_aux) os << " aux \"" << a.aux << "\"";
    return os << "}";
}

inline Bytes read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::string &path, const Bytes &b)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
}

inline bool exists(const std::string &path) { return ::access(path.c_str(), F_OK) == 0; }

inline std::vector<std::string> dir_entries(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (dirent *e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

// Every test runs in a fresh directory of its own, with no WFDB path set.
class ScratchDir : public ::testing::Test {
protected:
    std::string dir, old;
    void SetUp() override
    {
        char cwd[4096];
        old = ::getcwd(cwd, sizeof cwd) ? cwd : ".";
        char tmpl[] = "/tmp/wfdbtest.XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        ::unsetenv("WFDB");
        wfdbquiet();
    }
    void TearDown() override
    {
        wfdbquit();
        wfdb_write_status();
        if (::chdir(old.c_str()) != 0) return;
        std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "can't remove " << dir;
    }
};

// Reads every annotation of RECORD.ANNOTATOR; `rc` gets getann's last answer.
inline std::vector<Ann> read_all(const std::string &record, const std::string &annotator, int *rc = nullptr)
{
    std::vector<Ann> out;
    std::string name = annotator;
    WFDB_Anninfo ai{&name[0], WFDB_READ};
    int r = annopen(record.c_str(), &ai, 1);
    if (r != 0) {
        if (rc) *rc = r;
        return out;
    }
    WFDB_Annotation a;
    while ((r = getann(0, &a)) == 0) {
        Ann x{a.time, static_cast<unsigned char>(a.anntyp), a.subtyp, a.chan, a.num};
        if (a.aux) x = with_aux(x, std::string(reinterpret_cast<char *>(a.aux + 1), a.aux[0]));
        out.push_back(x);
    }
    if (rc) *rc = r;
    return out;
}

// Writes `anns` with putann to RECORD.ANNOTATOR; answers the first nonzero
// putann answer, or 0.  The file is completed by wfdbquit.
inline int put_all(const std::vector<Ann> &anns, bool quit = true)
{
    int first = 0;
    for (const Ann &x : anns) {
        WFDB_Annotation a{};
        a.time = x.time;
        a.anntyp = char(x.code);
        a.subtyp = static_cast<signed char>(x.subtyp);
        a.chan = static_cast<unsigned char>(x.chan);
        a.num = static_cast<signed char>(x.num);
        Bytes aux;
        if (x.has_aux) {
            aux.push_back(static_cast<unsigned char>(x.aux.size()));
            aux.insert(aux.end(), x.aux.begin(), x.aux.end());
            aux.push_back(0);
            a.aux = aux.data();
        }
        int r = putann(0, &a);
        if (r && !first) first = r;
    }
    if (quit) wfdbquit();
    return first;
}

inline int write_all(const std::string &record, const std::string &annotator, const std::vector<Ann> &anns)
{
    std::string name = annotator;
    WFDB_Anninfo ai{&name[0], WFDB_WRITE};
    int r = annopen(record.c_str(), &ai, 1);
    if (r) return r;
    return put_all(anns);
}

#endif
