// Standard descriptors for programs that may be started with some of them
// closed (by cron, a daemon, `2>&-`).  A closed one is opened on /dev/null,
// so that no file the program opens later takes its number and receives
// what was meant for the terminal.  Standard input and output are opened
// read-only: output sent to a closed standard output still fails, and is
// reported, instead of vanishing.
#ifndef COMMON_STD_DESCRIPTORS_H
#define COMMON_STD_DESCRIPTORS_H

#include <cerrno>

#include <fcntl.h>

// Answers false when a closed descriptor could not be replaced.
inline bool open_std_descriptors()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number is fd, as those below it are open.
        if (::open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY) != fd) return false;
    }
    return true;
}

#endif
