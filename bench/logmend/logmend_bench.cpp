// Times logmend on a generated record: an empty edit log against a log of
// 100,000 lines (half deletions of existing annotations, half insertions at
// random times), for a record of 1,000,000 and one of 100,000 annotations,
// and a 2,000,000-line log on a record of 20,000,000; then a log that
// inserts and deletes one annotation over and over.  Beside them, the bare
// codec pass over the same file (a getann loop, then a putann loop into a
// new file, in a child process), the floor that an empty log is measured
// against.  Prints the time ratios, the child's peak memory per annotation
// (the largest of the runs) and, on the largest record, time and memory.
// Each run is repeated and the fastest kept, since the machine may be busy
// with other work; the child's CPU time is shown beside the wall clock for
// the same reason.
// Usage: logmend_bench [DIR [REPS [RECORD_SIZE [LOG_LINES]]]]; with a record
// size, only that one is run.
#include <wfdb/wfdb.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

const char *const header = "[VIZodeViv-1.0] Record rec, annotator atr (360 samples/second)\n\n";

struct Result {
    double seconds; // wall clock
    double cpu;     // the child's user + system time
    long maxrss_kb;
};

Result run(const std::string &dir, const std::string &log)
{
    timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(log.c_str(), O_RDONLY);
        if (in < 0 || chdir(dir.c_str()) != 0) _exit(126);
        dup2(in, 0);
        setenv("WFDB", "", 1);
        execl(LOGMEND_BIN, "logmend", static_cast<char *>(nullptr));
        _exit(127);
    }
    int st = 0;
    rusage ru{};
    wait4(pid, &st, 0, &ru);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) {
        std::fprintf(stderr, "logmend failed (status %d) on %s\n", st, log.c_str());
        std::exit(1);
    }
    double cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return {double(t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) / 1e9, cpu, ru.ru_maxrss};
}

long count_output(const std::string &dir)
{
    char old[4096];
    if (!getcwd(old, sizeof old) || chdir(dir.c_str()) != 0) return -1;
    WFDB_Anninfo ai{const_cast<char *>("atr_"), WFDB_READ};
    long n = 0;
    if (annopen("rec", &ai, 1) == 0) {
        WFDB_Annotation a;
        while (getann(0, &a) == 0) n++;
    }
    wfdbquit();
    if (chdir(old) != 0) return -1;
    return n;
}

double cpu_now()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// The bare codec pass over dir/rec.atr: every annotation read into memory,
// then written to a new file, closed and renamed as logmend's output is.
// The vector is sized beforehand, so this is the library's own cost.
Result codec_pass(const std::string &dir, long n)
{
    char old[4096];
    if (!getcwd(old, sizeof old) || chdir(dir.c_str()) != 0) std::exit(1);
    std::vector<WFDB_Annotation> anns(size_t(n) + 1);
    double t0 = now(), c0 = cpu_now();
    WFDB_Anninfo ai{const_cast<char *>("atr"), WFDB_READ};
    if (annopen("rec", &ai, 1) != 0) std::exit(1);
    size_t k = 0;
    while (k < anns.size() && getann(0, &anns[k]) == 0) k++;
    ai = {const_cast<char *>("codec"), WFDB_WRITE};
    if (annopen("rec", &ai, 1) != 0) std::exit(1); // closes the input
    for (size_t i = 0; i < k; i++) putann(0, &anns[i]);
    wfdbquit();
    Result t{now() - t0, cpu_now() - c0, 0};
    if (long(k) != n || wfdb_write_status() != 0) {
        std::fprintf(stderr, "codec pass failed\n");
        std::exit(1);
    }
    std::remove("rec.codec");
    if (chdir(old) != 0) std::exit(1);
    return t;
}

// Runs f in a child process and answers what it writes: the parent stays
// small, since a child started from it counts the parent's resident memory
// in its own peak.
template <class F> Result in_child(F f)
{
    int fd[2];
    Result v{};
    if (pipe(fd) != 0) std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        v = f();
        if (write(fd[1], &v, sizeof v) != ssize_t(sizeof v)) _exit(1);
        _exit(0);
    }
    close(fd[1]);
    int st = 0;
    if (read(fd[0], &v, sizeof v) != ssize_t(sizeof v) || waitpid(pid, &st, 0) != pid || st != 0) std::exit(1);
    close(fd[0]);
    return v;
}

// The record and the two logs in dir.
Result make_inputs(const std::string &dir, long n, long nlines)
{
    std::mt19937_64 rng(12345);

    // The record: beats 200 to 500 samples apart, one in ten a V.
    std::vector<long> times(n);
    std::vector<char> codes(n);
    {
        char old[4096];
        if (!getcwd(old, sizeof old) || chdir(dir.c_str()) != 0) std::exit(1);
        WFDB_Anninfo ai{const_cast<char *>("atr"), WFDB_WRITE};
        if (annopen("rec", &ai, 1) != 0) std::exit(1);
        long t = 0;
        for (long i = 0; i < n; i++) {
            t += 200 + long(rng() % 301);
            WFDB_Annotation a{};
            a.time = times[i] = t;
            a.anntyp = codes[i] = (rng() % 10 == 0) ? PVC : NORMAL;
            putann(0, &a);
        }
        wfdbquit();
        if (chdir(old) != 0) std::exit(1);
    }

    // The log: half deletions of distinct existing annotations, half
    // insertions at random times, shuffled together.
    std::vector<long> pick(n);
    for (long i = 0; i < n; i++) pick[i] = i;
    std::shuffle(pick.begin(), pick.end(), rng);
    std::vector<std::string> lines;
    for (long i = 0; i < nlines / 2; i++) {
        long k = pick[i % n];
        lines.push_back("-" + std::to_string(times[k]) + (codes[k] == PVC ? ",V\n" : ",N\n"));
    }
    long end = times[n - 1];
    for (long i = 0; i < nlines - nlines / 2; i++)
        lines.push_back(std::to_string(long(rng() % end)) + (i % 3 ? ",N\n" : ",A{0/1/0},edit\n"));
    std::shuffle(lines.begin(), lines.end(), rng);

    std::string empty = dir + "/empty.log", full = dir + "/edits.log";
    FILE *f = std::fopen(empty.c_str(), "w");
    std::fputs(header, f);
    std::fclose(f);
    f = std::fopen(full.c_str(), "w");
    std::fputs(header, f);
    for (auto &l : lines) std::fputs(l.c_str(), f);
    std::fclose(f);
    return Result{};
}

void bench(const std::string &root, long n, int reps, long nlines = 100000)
{
    std::string dir = root + "/n" + std::to_string(n);
    mkdir(root.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    in_child([&] { return make_inputs(dir, n, nlines); });
    std::string empty = dir + "/empty.log", full = dir + "/edits.log";

    Result best_empty{1e9, 1e9, 0}, best_full{1e9, 1e9, 0};
    Result best_codec{1e9, 1e9, 0};
    for (int r = 0; r < reps; r++) {
        Result c = in_child([&] { return codec_pass(dir, n); });
        best_codec.seconds = std::min(best_codec.seconds, c.seconds);
        best_codec.cpu = std::min(best_codec.cpu, c.cpu);
        Result e = run(dir, empty);
        best_empty.seconds = std::min(best_empty.seconds, e.seconds);
        best_empty.cpu = std::min(best_empty.cpu, e.cpu);
        best_empty.maxrss_kb = std::max(best_empty.maxrss_kb, e.maxrss_kb);
        Result g = run(dir, full);
        best_full.seconds = std::min(best_full.seconds, g.seconds);
        best_full.cpu = std::min(best_full.cpu, g.cpu);
        best_full.maxrss_kb = std::max(best_full.maxrss_kb, g.maxrss_kb);
    }
    long out = count_output(dir);
    double per_ann = best_full.maxrss_kb * 1024.0 / double(n);
    std::printf("record of %ld annotations, log of %zu lines (best of %d runs):\n", n, size_t(nlines), reps);
    std::printf("  codec pass (getann loop, putann loop): %.3f s wall, %.3f s cpu\n", best_codec.seconds, best_codec.cpu);
    std::printf("  empty log: %.3f s wall, %.3f s cpu, peak RSS %ld KiB\n", best_empty.seconds, best_empty.cpu,
                best_empty.maxrss_kb);
    std::printf("  edit log:  %.3f s wall, %.3f s cpu, peak RSS %ld KiB; output holds %ld annotations (expected %ld)\n",
                best_full.seconds, best_full.cpu, best_full.maxrss_kb, out, n);
    std::printf("  time ratio empty/codec: %.2f wall, %.2f cpu%s\n", best_empty.seconds / best_codec.seconds,
                best_empty.cpu / best_codec.cpu,
                n == 1000000 ? " (goal <= 1.5)" : "");
    std::printf("  time ratio edit/empty: %.2f wall, %.2f cpu%s\n", best_full.seconds / best_empty.seconds,
                best_full.cpu / best_empty.cpu, n == 1000000 && nlines == 100000 ? " (goal <= 1.5)" : "");
    std::printf("  cost of one log line: %.2f us\n", (best_full.cpu - best_empty.cpu) * 1e6 / double(nlines));
    std::printf("  peak memory per annotation: %.1f bytes%s\n", per_ann, n == 1000000 ? " (goal <= 64)" : "");
    if (n == 20000000 && nlines == 2000000)
        std::printf("  edit log: %.2f s wall (goal <= 3), peak RSS %.2f GB (goal <= 1.3)\n", best_full.seconds,
                    best_full.maxrss_kb * 1024.0 / 1e9);
}

// A log that inserts and deletes one annotation over and over, on no
// record: the work must grow with the log, not with its square.
void bench_toggles(const std::string &root, long pairs)
{
    std::string dir = root + "/toggles";
    mkdir(root.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    std::string log = dir + "/toggles.log";
    FILE *f = std::fopen(log.c_str(), "w");
    std::fputs(header, f);
    for (long i = 0; i < pairs; i++) std::fputs("1000,N\n-1000,N\n", f);
    std::fclose(f);
    std::remove((dir + "/rec.atr").c_str());
    Result r = run(dir, log);
    std::remove((dir + "/rec.atr").c_str());
    std::printf("log of %ld insertions and deletions of one annotation: %.3f s wall, %.3f s cpu\n", 2 * pairs,
                r.seconds, r.cpu);
}

} // namespace

int main(int argc, char **argv)
{
    std::string root = argc > 1 ? argv[1] : "logmend-bench";
    int reps = argc > 2 ? std::atoi(argv[2]) : 3;
    if (argc > 3) { // one record size (and log length) of one's own
        bench(root, std::atol(argv[3]), reps, argc > 4 ? std::atol(argv[4]) : 100000);
        return 0;
    }
    bench(root, 1000000, reps);
    bench(root, 100000, reps);
    bench(root, 20000000, 1, 2000000);
    bench_toggles(root, 1000000);
    return 0;
}
