// Output files that appear whole or not at all: written under a temporary
// name beside the target, renamed into place when complete.
#ifndef WFDB_SRC_ATOMIC_OUTPUT_H
#define WFDB_SRC_ATOMIC_OUTPUT_H

#include <string>

#include <sys/types.h>

namespace wfdbint {

struct PendingOutput;

// Creates the temporary file for `target` with `mode`.  Answers its open
// descriptor and sets *out, or answers -1 with errno set.  Until it is
// committed or discarded, the temporary file is removed when the program
// exits or dies of SIGHUP, SIGINT, SIGQUIT, SIGPIPE or SIGTERM.
int begin_output(const std::string &target, mode_t mode, PendingOutput **out);

// Renames the temporary file (already written, synced and closed) into
// place and syncs its directory.  Answers 0, or an errno value with *what
// naming the step that failed; the temporary file is gone either way.
int commit_output(PendingOutput *p, const char **what);

// Removes the temporary file.
void discard_output(PendingOutput *p);

} // namespace wfdbint

#endif
