// Arbitrary bytes as an edit log on standard input, through logmend's own
// header and entry readers and its list operations.  The log's leading
// insertions, up to its first other line, stand in for the annotation file
// (they are loaded as a file's are, in any key order); the rest are the
// log's edits.  A plain model of the list (a walk from the tail, as the
// list was first designed, applying each entry as it is read, with the
// lowest key kept) runs beside it: the written order must be exactly the
// model's nodes in the model's order, and each deletion must have removed
// a node exactly when the model's did.
#define main logmend_main
#include "../logmend/logmend.cpp"
#undef main

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Node {
    int64_t key;
    int anntyp;
    int subtyp;
    bool has_aux;
    std::string aux; // count byte and text
};

std::vector<Node> model;

std::string annot_aux()
{
    return std::string(reinterpret_cast<const char *>(annot.aux), auxlen + 1);
}

void model_insert()
{
    Node n{make_key(annot.time, annot.chan, annot.num), (signed char)annot.anntyp, annot.subtyp,
           annot.aux && annot.aux[0] != 0, ""};
    if (n.has_aux) n.aux = annot_aux();
    size_t at = model.size();
    while (at > 0 && model[at - 1].key >= n.key) --at;
    model.insert(model.begin() + long(at), n);
}

void model_delete()
{
    int64_t key = make_key(annot.time, annot.chan, annot.num);
    for (size_t i = model.size(); i-- > 0;) {
        const Node &n = model[i];
        bool aux_same = !annot.aux ? !n.has_aux : n.has_aux && n.aux == annot_aux();
        if (n.key == key && n.anntyp == (signed char)annot.anntyp && n.subtyp == annot.subtyp && aux_same) {
            model.erase(model.begin() + long(i));
            return;
        }
    }
}

// Whether each deletion removed a node, in log order.
std::vector<std::pair<int64_t, bool>> deleted;

void check_list()
{
    sort_list();
    size_t i = 0;
    for (ap *p; (p = next_ann()) != nullptr; ++i) {
        if (i >= model.size()) std::abort();
        const Node &n = model[i];
        if (p->key != n.key || p->anntyp != n.anntyp || p->subtyp != n.subtyp) std::abort();
        if (bool(p->aux) != n.has_aux) std::abort();
        if (p->aux && std::string(reinterpret_cast<char *>(p->aux), node_auxlen(p->aux) + 1) != n.aux) std::abort();
    }
    if (i != model.size()) std::abort();
    // The log's entries are now in key order, each key's in log order.
    std::stable_sort(deleted.begin(), deleted.end(),
                     [](const std::pair<int64_t, bool> &a, const std::pair<int64_t, bool> &b) { return a.first < b.first; });
    size_t d = 0;
    for (ap *p = apedit; p < apeditend; ++p) {
        if (!(p->edit & LOG_DELETE)) continue;
        if (d >= deleted.size() || p->key != deleted[d].first || bool(p->edit & GONE) != deleted[d].second) std::abort();
        ++d;
    }
    if (d != deleted.size()) std::abort();
}

FILE *devnull;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    devnull = std::fopen("/dev/null", "w");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!in) return 0; // fmemopen refuses an empty buffer
    FILE *saved_in = stdin, *saved_err = stderr;
    stdin = in;
    stderr = devnull; // warnings

    if (parse_log_header()) {
        if (!record || !annotator) std::abort();
        aphead = aptail = static_cast<ap *>(zalloc(sizeof(ap), "aphead"));
        apcap = 1;
        model.clear();
        deleted.clear();
        int rc;
        while ((rc = get_log_entry()) != 0) {
            if (rc != 1) aploaded = true;
            if (rc == 1) {
                if (annot.time < 0 || annot.time >= maxtime) std::abort();
                insert_ann();
                model_insert();
            } else if (rc == 2) {
                size_t before = model.size();
                model_delete();
                delete_ann();
                deleted.emplace_back(make_key(annot.time, annot.chan, annot.num), before != model.size());
            } else if (rc != -1) {
                std::abort();
            }
            if (annot.aux && annot.aux[0] != (auxlen > 255 ? 255 : auxlen)) std::abort();
        }
        check_list();
        free_list();
        std::free(annot.aux);
        annot.aux = nullptr;
        auxlen = 0;
        free_names();
    } else if (record || annotator) {
        std::abort(); // a rejected header leaves no names behind
    }

    stdin = saved_in;
    stderr = saved_err;
    std::fclose(in);
    return 0;
}
