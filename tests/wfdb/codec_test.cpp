// The MIT-format codec: exact bytes for known annotations, and every byte
// sequence read back as the annotations it holds.
#include "support.h"

#include <climits>

namespace {

struct Golden {
    const char *name;
    std::vector<Ann> anns;
    Bytes bytes;
};

Bytes text(const char *s, bool pad)
{
    Bytes b(s, s + std::strlen(s));
    if (pad) b.push_back(0);
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<Golden> golden()
{
    const Bytes skip_max = {0x00, 0xec, 0xff, 0x7f, 0xff, 0xff};
    return {
        // The first bytes of 100.atr: RHYTHM at 18 with the 3-byte aux "(N\0"
        // (odd: one pad byte), then NORMAL at 77.
        {"rhythm_with_odd_aux",
         {with_aux({18, RHYTHM}, std::string("(N\0", 3)), {77, NORMAL}},
         {0x12, 0x70, 0x03, 0xfc, 0x28, 0x4e, 0x00, 0x00, 0x3b, 0x04, 0x00, 0x00}},
        // The first annotation of 12726.anI: a SKIP of 87240 before the NOTE,
        // CHN 255 stored as 1023, then a 21-byte aux with its pad.
        {"skip_chan255_aux",
         {with_aux({87240, NOTE, 0, 255, 0}, "Initiate slow tilt up")},
         cat({{0x00, 0xec, 0x01, 0x00, 0xc8, 0x54, 0x00, 0x58, 0xff, 0xfb, 0x15, 0xfc},
              text("Initiate slow tilt up", true),
              {0x00, 0x00}})},
        // huge.qrs: 10^10 needs four SKIPs of 2^31-1 and one of the rest.
        {"skip_chain_beyond_32_bits",
         {{10000000000L, NORMAL}},
         cat({skip_max, skip_max, skip_max, skip_max, {0x00, 0xec, 0x0b, 0x54, 0x04, 0xe4, 0x00, 0x04, 0x00, 0x00}})},
        // SUB before NUM after the same word; NUM carried over, so the next
        // annotation with the same num needs none.
        {"sub_before_num",
         {{61, NORMAL, 1, 0, 11}, {100, NORMAL, 0, 0, 11}},
         {0x3d, 0x04, 0x01, 0xf4, 0x0b, 0xf0, 0x27, 0x04, 0x00, 0x00}},
        // SUB, CHN, NUM, AUX in that order; negative values as 10-bit fields;
        // the step back to 0 channel and num is written too.
        {"all_modifiers_in_order",
         {with_aux({5, PVC, -1, 128, -128}, "ab"), {6, PVC}},
         {0x05, 0x14, 0xff, 0xf7, 0x80, 0xfb, 0x80, 0xf3, 0x02, 0xfc, 'a', 'b', 0x06 - 5, 0x14, 0x00, 0xf8,
          0x00, 0xf0, 0x00, 0x00}},
        // 1023 fits in the word; 1024 takes a SKIP; going back in time too.
        {"skip_threshold_and_negative_step",
         {{1023, NORMAL}, {2047, NORMAL}, {2000, NORMAL}},
         {0xff, 0x07, 0x00, 0xec, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0xec, 0xff, 0xff, 0xd1, 0xff, 0x00,
          0x04, 0x00, 0x00}},
        // An empty aux is still an aux; no annotations is just the end word.
        {"empty_aux", {with_aux({0, NOTE}, "")}, {0x00, 0x58, 0x00, 0xfc, 0x00, 0x00}},
        {"no_annotations", {}, {0x00, 0x00}},
    };
}

class Codec : public ScratchDir {};

TEST_F(Codec, WritesAndReadsGoldenBytes)
{
    for (const Golden &g : golden()) {
        SCOPED_TRACE(g.name);
        ASSERT_EQ(write_all("rec", "out", g.anns), 0);
        EXPECT_EQ(wfdb_write_status(), 0);
        EXPECT_EQ(read_file("rec.out"), g.bytes);

        write_file("rec.in", g.bytes);
        int rc = 0;
        EXPECT_EQ(read_all("rec", "in", &rc), g.anns);
        EXPECT_EQ(rc, -1);
        wfdbquit();
    }
}

struct ReadCase {
    const char *name;
    Bytes bytes;
    std::vector<Ann> anns;
    int end; // getann's last answer
};

TEST_F(Codec, ReadsOddAndHostileFiles)
{
    const std::vector<ReadCase> cases = {
        // Missing end word after a complete annotation: a clean end.
        {"no_end_word", {0x05, 0x04}, {{5, NORMAL}}, -1},
        {"empty_file", {}, {}, -1},
        // A code-0 word only moves the time; modifiers with no annotation
        // before them carry CHN and NUM over and are otherwise dropped.
        {"code0_moves_time", {0x05, 0x00, 0x03, 0x04}, {{8, NORMAL}}, -1},
        {"stray_modifiers", {0x02, 0xf8, 0x01, 0xf4, 0x01, 0xfc, 'x', 0, 0x03, 0x04, 0x00, 0x00}, {{3, NORMAL, 0, 2}}, -1},
        // Data after the end word is not read.
        {"data_after_end", {0x01, 0x04, 0x00, 0x00, 0x01, 0x04}, {{1, NORMAL}}, -1},
        // Aux bytes past a zero byte are kept (count is what counts).
        {"aux_with_zero", {0x01, 0x58, 0x04, 0xfc, 'a', 0, 'b', 'c', 0x00, 0x00}, {with_aux({1, NOTE}, std::string("a\0bc", 4))}, -1},
        // Truncations: inside a word, a SKIP, an aux.
        {"half_word", {0x01, 0x04, 0x02}, {}, -3},
        {"cut_skip", {0x00, 0xec, 0x01, 0x00}, {}, -3},
        {"cut_aux", {0x01, 0x58, 0x04, 0xfc, 'a'}, {}, -3},
        // An aux longer than the count byte can say is corrupt.
        {"aux_over_255", cat({{0x01, 0x58, 0x00, 0xfd}, Bytes(256, 'a'), {0x00, 0x00}}), {}, -4},
        // Before the start of the record.
        {"negative_time", {0x00, 0xec, 0xff, 0xff, 0xff, 0xff, 0x00, 0x04}, {}, -4},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        write_file("rec.in", c.bytes);
        int rc = 0;
        EXPECT_EQ(read_all("rec", "in", &rc), c.anns);
        EXPECT_EQ(rc, c.end);
        // Once ended, getann keeps saying so.
        WFDB_Annotation a;
        EXPECT_EQ(getann(0, &a), c.end);
        wfdbquit();
    }
}

TEST_F(Codec, WriterRefusesWhatItCannotStore)
{
    WFDB_Anninfo ai{const_cast<char *>("out"), WFDB_WRITE};
    ASSERT_EQ(annopen("rec", &ai, 1), 0);
    WFDB_Annotation a{};
    a.anntyp = NORMAL;
    a.time = -1;
    EXPECT_EQ(putann(0, &a), -1) << "negative time accepted";
    a.time = 5;
    a.anntyp = 0; // with no time step it would read as the end word
    EXPECT_EQ(putann(0, &a), -1) << "code 0 accepted";
    a.anntyp = 59;
    EXPECT_EQ(putann(0, &a), -1) << "pseudo code accepted";
    a.anntyp = NORMAL;
    EXPECT_EQ(putann(0, &a), 0) << "a refused annotation spoiled the file";
    wfdbquit();
    EXPECT_EQ(wfdb_write_status(), 0);
    EXPECT_EQ(read_file("rec.out"), (Bytes{0x05, 0x04, 0x00, 0x00}));
}

// Every prefix of a file with SKIPs, modifiers and aux reads without a
// fault, delivers a prefix of the annotations, and ends -1 exactly when the
// cut falls between annotations.
TEST_F(Codec, EveryTruncationEndsCleanlyOrWithMinus3)
{
    const std::vector<Ann> anns = {with_aux({18, RHYTHM}, std::string("(N\0", 3)),
                                   {77, NORMAL, 0, 1, 2},
                                   {5000, PVC, 3},
                                   with_aux({100000, NOTE, 0, 255, -1}, "four"),
                                   {100001, NORMAL}};
    ASSERT_EQ(write_all("rec", "full", anns), 0);
    const Bytes full = read_file("rec.full");
    // Offsets at which a whole number of annotations ends.
    std::vector<size_t> boundaries;
    for (size_t k = 0; k <= anns.size(); ++k) {
        ASSERT_EQ(write_all("rec", "part", std::vector<Ann>(anns.begin(), anns.begin() + long(k))), 0);
        boundaries.push_back(read_file("rec.part").size() - 2);
    }
    for (size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE("prefix of " + std::to_string(n) + " bytes");
        write_file("rec.cut", Bytes(full.begin(), full.begin() + long(n)));
        int rc = 0;
        std::vector<Ann> got = read_all("rec", "cut", &rc);
        wfdbquit();
        ASSERT_LE(got.size(), anns.size());
        auto at = std::find(boundaries.begin(), boundaries.end(), n);
        if (n == full.size() || at != boundaries.end()) {
            size_t k = n == full.size() ? anns.size() : size_t(at - boundaries.begin());
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(got, std::vector<Ann>(anns.begin(), anns.begin() + long(k)));
            continue;
        }
        // A cut right after an annotation word loses its modifiers unseen;
        // anywhere else the reader says the data ended inside an annotation.
        EXPECT_TRUE(rc == -1 || rc == -3) << rc;
        for (size_t k = 0; k < got.size(); ++k) {
            if (k + 1 < got.size() || rc == -3) {
                EXPECT_EQ(got[k], anns[k]);
            } else {
                EXPECT_EQ(got[k].time, anns[k].time);
                EXPECT_EQ(got[k].code, anns[k].code);
            }
        }
    }
}

} // namespace
