#include "base/printable_text.h"

#include <gtest/gtest.h>

#include <random>

namespace q3d {
namespace {

TEST(PrintableTextTest, EscapesControlsReplacesInvalidUtf8AndCaps) {
  EXPECT_EQ(PrintableText("a\x1b]0;owned\x07z"), "a\\x1B]0;owned\\x07z");
  EXPECT_EQ(PrintableText(std::string("nul\0cut", 7)), "nul\\x00cut");
  EXPECT_EQ(PrintableText("line\nnext\t"), "line\\nnext\\t");
  EXPECT_EQ(PrintableText("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xC3\xA9 \xE2\x82\xAC");  // kept
  EXPECT_EQ(PrintableText("bad \xFF \xC3 \xC2\x9B"),
            "bad \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(PrintableText(std::string(2'000'000, 'x'), 10), "xxxxxxxxxx...");
  EXPECT_EQ(PrintableText("\xC3\xA9\xC3\xA9", 3), "\xC3\xA9...");  // never half a character
}

TEST(PrintableTextTest, AnyBytesGiveOneBoundedPrintableLine) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 2000; ++trial) {
    std::string bytes(rng() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const std::string shown = PrintableText(bytes, 40);
    EXPECT_LE(shown.size(), 43u);
    for (const char c : shown) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F);
    EXPECT_EQ(PrintableText(shown, 1000), shown);  // already printable: unchanged
  }
}

}  // namespace
}  // namespace q3d
