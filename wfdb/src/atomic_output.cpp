// Output files that appear whole or not at all.
//
// A target DIR/NAME is written as a temporary file in the same directory,
// so that the rename that puts it in place is atomic:
//
//     DIR/.NAME.XXXXXX      NAME cut short where the whole name would not
//                           fit the file system's name limit
//
// The caller writes, syncs and closes it; commit renames it over the target
// and syncs the directory, so that a power loss after a successful run
// can't lose the new file.  Until then the temporary file is removed when
// the program exits or dies of a signal that would end it.  The names of
// unfinished files are kept in a list that is changed only with those
// signals blocked, so the handler can walk it and unlink each name: both
// steps are async-signal-safe.
#include "atomic_output.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wfdbint {

struct PendingOutput {
    PendingOutput *next;
    char *tmp; // the temporary file's name, ready before the file exists
    std::string target, dir;
};

namespace {

const int kSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM};

PendingOutput *volatile pending;

sigset_t cleanup_signals()
{
    sigset_t s;
    sigemptyset(&s);
    for (int sig : kSignals) sigaddset(&s, sig);
    return s;
}

// The cleanup signals stay blocked while the list changes.
struct Blocked {
    sigset_t old;
    Blocked()
    {
        sigset_t s = cleanup_signals();
        sigprocmask(SIG_BLOCK, &s, &old);
    }
    ~Blocked() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

void unlink_pending()
{
    for (PendingOutput *p = pending; p; p = p->next) ::unlink(p->tmp);
}

extern "C" void remove_at_exit() { unlink_pending(); }

// Removes the temporary files, then dies of the same signal.
extern "C" void on_signal(int sig)
{
    unlink_pending();
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, sig);
    sigprocmask(SIG_UNBLOCK, &s, nullptr);
    raise(sig);
}

// Once, at the first output.  A signal that the program handles itself or
// ignores (as under nohup) is left as it is.
void install_cleanup()
{
    static bool done = false;
    if (done) return;
    done = true;
    std::atexit(remove_at_exit);
    for (int sig : kSignals) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
            continue;
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = on_signal;
        sa.sa_mask = cleanup_signals();
        sigaction(sig, &sa, nullptr);
    }
}

void forget(PendingOutput *p)
{
    {
        Blocked b;
        PendingOutput *volatile *link = &pending;
        while (*link && *link != p) link = &(*link)->next;
        if (*link) *link = p->next;
    }
    std::free(p->tmp);
    delete p;
}

// A directory we may not read (write and search permission are enough to
// rename in it) can't be opened to sync; that is not a failed write.
int sync_dir(const std::string &dir)
{
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int err = ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0;
    ::close(fd);
    return err;
}

} // namespace

int begin_output(const std::string &target, mode_t mode, PendingOutput **out)
{
    install_cleanup();
    auto *p = new PendingOutput{nullptr, nullptr, target, "."};
    size_t slash = target.rfind('/');
    std::string base = target;
    if (slash != std::string::npos) {
        p->dir = target.substr(0, slash + 1);
        base = target.substr(slash + 1);
    }
    long max = ::pathconf(p->dir.c_str(), _PC_NAME_MAX);
    if (max <= 0) max = NAME_MAX;
    const size_t room = max > 8 ? size_t(max) - 8 : 0; // "." and ".XXXXXX"
    if (base.size() > room) base.resize(room);
    std::string name = (slash == std::string::npos ? "" : p->dir) + "." + base + ".XXXXXX";
    p->tmp = static_cast<char *>(std::malloc(name.size() + 1));
    if (!p->tmp) {
        delete p;
        errno = ENOMEM;
        return -1;
    }
    std::memcpy(p->tmp, name.c_str(), name.size() + 1);

    int fd, err;
    {
        // The name is in the list before the file exists.
        Blocked b;
        fd = ::mkstemp(p->tmp);
        err = errno;
        if (fd >= 0) {
            p->next = pending;
            pending = p;
        }
    }
    if (fd < 0) {
        std::free(p->tmp);
        delete p;
        errno = err;
        return -1;
    }
    ::fchmod(fd, mode);
    *out = p;
    return fd;
}

int commit_output(PendingOutput *p, const char **what)
{
    int err = 0;
    if (::rename(p->tmp, p->target.c_str()) != 0) {
        err = errno;
        *what = "can't rename temporary file to";
        ::unlink(p->tmp);
    }
    std::string dir = p->dir;
    forget(p);
    if (!err && (err = sync_dir(dir)) != 0) *what = "can't sync the directory of";
    return err;
}

void discard_output(PendingOutput *p)
{
    ::unlink(p->tmp);
    forget(p);
}

} // namespace wfdbint
