// The WFDB path: where input annotation files are looked for.
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "state.h"
#include <wfdb/wfdb.h>

namespace {

bool readable_file(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

} // namespace

namespace wfdbint {

std::string find_on_path(const std::string &name)
{
    if (!name.empty() && name[0] == '/') return readable_file(name) ? name : "";

    const char *env = std::getenv("WFDB");
    std::string path = env ? env : "";
    bool tried_cwd = false;
    // Components are separated by ':' or white space; an empty one (also an
    // unset or empty WFDB) means the current directory.
    size_t i = 0;
    for (;;) {
        size_t j = path.find_first_of(": \t\n\r", i);
        std::string dir = path.substr(i, j == std::string::npos ? std::string::npos : j - i);
        bool last = j == std::string::npos;
        // "http://..." components name remote databases, which we do not read.
        bool remote = dir.find("://") != std::string::npos ||
                      ((dir == "http" || dir == "https" || dir == "ftp") && !last && path[j] == ':');
        if (remote) {
            // skip the rest of the URL up to the next separator after "//"
            if (!last && path.compare(j, 3, "://") == 0) {
                j = path.find_first_of(": \t\n\r", j + 3);
                last = j == std::string::npos;
            }
        } else if (dir.empty()) {
            if (!tried_cwd && readable_file(name)) return name;
            tried_cwd = true;
        } else {
            std::string full = dir + "/" + name;
            if (readable_file(full)) return full;
        }
        if (last) break;
        i = j + 1;
    }
    // A record name that carries a directory is also found through it.
    if (name.find('/') != std::string::npos && !tried_cwd && readable_file(name)) return name;
    return "";
}

} // namespace wfdbint

char *wfdbfile(const char *type, const char *record)
{
    static std::string found;
    if (!record) return nullptr;
    found = wfdbint::find_on_path(type ? std::string(record) + "." + type : std::string(record));
    return found.empty() ? nullptr : &found[0];
}
