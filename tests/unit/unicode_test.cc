#include <gtest/gtest.h>

#include "text/rounding.h"
#include "text/unicode.h"

namespace {

using namespace text;

const std::string kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one cluster, five code points
const std::string kFlag = "\U0001F1E9\U0001F1EA";                           // one cluster, two code points
const std::string kDecomposedE = "e\u0301";

TEST(Graphemes, CountUserPerceivedCharacters) {
    EXPECT_EQ(graphemeCount(""), 0u);
    EXPECT_EQ(graphemeCount("Save"), 4u);
    EXPECT_EQ(graphemeCount(kFamily + kFlag + kDecomposedE), 3u);
    EXPECT_EQ(graphemeCount("a\r\nb"), 3u);
    EXPECT_EQ(graphemeCount("\u65e5\u672c"), 2u);
}

TEST(Graphemes, PrefixNeverSplitsACluster) {
    EXPECT_EQ(graphemePrefix("Save As", 4), "Save");
    EXPECT_EQ(graphemePrefix("ab", 5), "ab");
    EXPECT_EQ(graphemePrefix("ab", 0), "");
    EXPECT_EQ(graphemePrefix(kDecomposedE + kFamily + "x", 2), kDecomposedE + kFamily);
    EXPECT_EQ(graphemePrefix("a\xFF" "bc", 2), "a\uFFFD");  // an invalid byte reads as U+FFFD
}

TEST(Graphemes, ClustersSplitInOrder) {
    EXPECT_EQ(graphemeClusters("h" + kDecomposedE + "\r\n" + kFlag),
              (std::vector<std::string>{"h", kDecomposedE, "\r\n", kFlag}));
}

TEST(CaseMapping, LowerCaseIsTheFullLocaleIndependentMapping) {
    EXPECT_EQ(lowercased("SAVE As…"), "save as…");
    EXPECT_EQ(lowercased("\u0130"), "i\u0307");  // İ becomes two code points
    EXPECT_EQ(lowercased("\u03A3\u039F\u03A6\u039F\u03A3"), "\u03C3\u03BF\u03C6\u03BF\u03C2");  // final sigma
    EXPECT_EQ(lowercased("\u00C9"), "\u00E9");
}

TEST(CanonicalEquivalence, PrecomposedAndDecomposedAreEqual) {
    EXPECT_TRUE(canonicallyEqual("caf\u00E9", "caf" + kDecomposedE));
    EXPECT_TRUE(canonicallyEqual("\u212B", "\u00C5"));  // angstrom sign and A with ring
    EXPECT_FALSE(canonicallyEqual("cafe", "caf\u00E9"));
    EXPECT_FALSE(canonicallyEqual("\uFB01", "fi"));  // compatibility is not canonical
}

TEST(CanonicalEquivalence, ContainmentMatchesWholeClusters) {
    EXPECT_TRUE(containsCanonically("Save As\u2026", "As"));
    EXPECT_TRUE(containsCanonically("caf\u00E9 noir", "caf" + kDecomposedE));
    EXPECT_TRUE(containsCanonically("caf" + kDecomposedE, "\u00E9"));
    EXPECT_FALSE(containsCanonically("caf\u00E9", "cafe"));  // "e" is only part of the cluster "é"
    EXPECT_FALSE(containsCanonically(kFamily, "\U0001F469"));
    EXPECT_FALSE(containsCanonically("anything", ""));
    EXPECT_FALSE(containsCanonically("", ""));
}

TEST(Rounding, HalvesGoAwayFromZero) {
    EXPECT_EQ(roundHalfAwayFromZero(2.5), 3);
    EXPECT_EQ(roundHalfAwayFromZero(-2.5), -3);
    EXPECT_EQ(roundHalfAwayFromZero(0.49999999999999994), 0);
    EXPECT_EQ(roundHalfAwayFromZero(1234.4999), 1234);
    EXPECT_EQ(roundHalfAwayFromZero(-0.4), 0);
}

}  // namespace
