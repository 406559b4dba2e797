// Library-internal declarations shared between the source files.
#ifndef WFDB_SRC_STATE_H
#define WFDB_SRC_STATE_H

#include <string>
#include <vector>

namespace wfdbint {

extern bool quiet;

// Mnemonic tables: standard entries, changed by modification labels.
void set_label(int code, const std::string &mnemonic, const std::string &description);
void reset_labels();

// Path of the first existing readable file named `name` on the WFDB path,
// or "" when there is none.
std::string find_on_path(const std::string &name);

} // namespace wfdbint

#endif
