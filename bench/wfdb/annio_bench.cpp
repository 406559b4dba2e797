// Read and write throughput of the annotation-file library on a generated
// record of 1,000,000 annotations: mixed codes, some aux, channel and number
// changes, a few SKIPs.  Prints annotations per second for each direction,
// best of several runs, measured in this one process.
#include <wfdb/wfdb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

int main(int argc, char **argv)
{
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = 5;
    char dir[] = "/tmp/annio_bench.XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) return 1;

    std::mt19937 rng(12345);
    static const unsigned char aux_texts[][8] = {{3, '(', 'N', 0}, {4, '(', 'A', 'F', 'L'}, {5, 'n', 'o', 'i', 's', 'e'}};
    const char codes[] = {NORMAL, NORMAL, NORMAL, NORMAL, PVC, APC, NOTE, RHYTHM, PWAVE, TWAVE};
    std::vector<WFDB_Annotation> anns(static_cast<size_t>(n));
    long t = 0;
    for (auto &a : anns) {
        unsigned r = rng();
        t += (r % 100 == 0) ? 5000 + r % 100000 : 50 + r % 400; // 1 in 100 needs a SKIP
        a = WFDB_Annotation{};
        a.time = t;
        a.anntyp = codes[r % 10];
        if (r % 17 == 0) a.chan = (r >> 8) % 3;
        if (r % 13 == 0) a.num = (r >> 12) % 5;
        if (r % 29 == 0) a.subtyp = 1;
        if (a.anntyp == RHYTHM || a.anntyp == NOTE) a.aux = const_cast<unsigned char *>(aux_texts[r % 3]);
    }

    wfdbquiet();
    double best_write = 1e9, best_read = 1e9;
    long size = 0;
    for (int round = 0; round < rounds; ++round) {
        WFDB_Anninfo ai{const_cast<char *>("bench"), WFDB_WRITE};
        auto t0 = Clock::now();
        if (annopen("rec", &ai, 1) != 0) return 2;
        for (auto &a : anns)
            if (putann(0, &a) != 0) return 3;
        wfdbquit();
        best_write = std::min(best_write, seconds_since(t0));
        if (wfdb_write_status() != 0) return 4;

        ai.stat = WFDB_READ;
        WFDB_Annotation a;
        long count = 0, check = 0;
        t0 = Clock::now();
        if (annopen("rec", &ai, 1) != 0) return 5;
        while (getann(0, &a) == 0) {
            ++count;
            check += a.time + a.chan + a.num;
        }
        wfdbquit();
        best_read = std::min(best_read, seconds_since(t0));
        if (count != n || check == 0) return 6;
        FILE *f = std::fopen("rec.bench", "rb");
        std::fseek(f, 0, SEEK_END);
        size = std::ftell(f);
        std::fclose(f);
    }
    std::remove("rec.bench");
    if (chdir("/") != 0) return 7;
    rmdir(dir);

    double rps = double(n) / best_read, wps = double(n) / best_write;
    std::printf("annotations: %ld, file: %ld bytes (best of %d runs)\n", n, size, rounds);
    std::printf("read  (getann loop): %6.1f million/s  (goal 20: %.2fx)\n", rps / 1e6, rps / 20e6);
    std::printf("write (putann loop, closed and renamed): %6.1f million/s  (goal 10: %.2fx)\n", wps / 1e6, wps / 10e6);
    return 0;
}
