// Annotation code <-> mnemonic and description tables.
#include <wfdb/wfdb.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "state.h"

namespace {

struct Entry {
    const char *mnemonic;
    const char *description;
};

// Codes without a standard mnemonic have nullptr.
const Entry standard[ACMAX + 1] = {
    {nullptr, nullptr},
    {"N", "Normal beat"},
    {"L", "Left bundle branch block beat"},
    {"R", "Right bundle branch block beat"},
    {"a", "Aberrated atrial premature beat"},
    {"V", "Premature ventricular contraction"},
    {"F", "Fusion of ventricular and normal beat"},
    {"J", "Nodal (junctional) premature beat"},
    {"A", "Atrial premature beat"},
    {"S", "Supraventricular premature or ectopic beat"},
    {"E", "Ventricular escape beat"},
    {"j", "Nodal (junctional) escape beat"},
    {"/", "Paced beat"},
    {"Q", "Unclassifiable beat"},
    {"~", "Change in signal quality"},
    {nullptr, nullptr},
    {"|", "Isolated QRS-like artifact"},
    {nullptr, nullptr},
    {"s", "ST change"},
    {"T", "T-wave change"},
    {"*", "Systole"},
    {"D", "Diastole"},
    {"\"", "Comment annotation"},
    {"=", "Measurement annotation"},
    {"p", "P-wave peak"},
    {"B", "Bundle branch block beat (unspecified)"},
    {"^", "(Non-captured) pacemaker artifact"},
    {"t", "T-wave peak"},
    {"+", "Rhythm change"},
    {"u", "U-wave peak"},
    {"?", "Beat not classified during learning"},
    {"!", "Ventricular flutter wave"},
    {"[", "Start of ventricular flutter/fibrillation"},
    {"]", "End of ventricular flutter/fibrillation"},
    {"e", "Atrial escape beat"},
    {"n", "Supraventricular escape beat"},
    {"@", "Link to external data"},
    {"x", "Non-conducted P-wave (blocked APC)"},
    {"f", "Fusion of paced and normal beat"},
    {"(", "Waveform onset"},
    {")", "Waveform end"},
    {"r", "R-on-T premature ventricular contraction"},
    {nullptr, nullptr}, {nullptr, nullptr}, {nullptr, nullptr}, {nullptr, nullptr},
    {nullptr, nullptr}, {nullptr, nullptr}, {nullptr, nullptr}, {nullptr, nullptr},
};

// Labels read from input files replace the standard entries.
struct Label {
    bool set = false;
    std::string mnemonic, description;
};
std::array<Label, ACMAX + 1> labels;

const char *mnemonic_of(int code)
{
    if (code < 0 || code > ACMAX) return nullptr;
    if (labels[code].set) return labels[code].mnemonic.c_str();
    return standard[code].mnemonic;
}

} // namespace

namespace wfdbint {

void set_label(int code, const std::string &mnemonic, const std::string &description)
{
    if (code < 1 || code > ACMAX || mnemonic.empty()) return;
    labels[code].set = true;
    labels[code].mnemonic = mnemonic;
    labels[code].description = description;
}

void reset_labels()
{
    for (auto &l : labels) l = Label{};
}

} // namespace wfdbint

extern "C" int strann(const char *s)
{
    if (!s || !*s) return 0;
    for (int code = 1; code <= ACMAX; ++code) {
        const char *m = mnemonic_of(code);
        if (m && std::strcmp(m, s) == 0) return code;
    }
    return 0;
}

extern "C" char *annstr(int code)
{
    static char buf[16];
    if (const char *m = mnemonic_of(code)) {
        std::snprintf(buf, sizeof buf, "%s", m);
        if (std::strlen(m) < sizeof buf) return buf;
        return const_cast<char *>(m);
    }
    std::snprintf(buf, sizeof buf, "[%d]", code);
    return buf;
}

extern "C" char *anndesc(int code)
{
    if (code < 0 || code > ACMAX) return nullptr;
    if (labels[code].set) return const_cast<char *>(labels[code].description.c_str());
    return const_cast<char *>(standard[code].description);
}
