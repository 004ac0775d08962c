#include "cli/match_csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "support/printable_line.h"
#include "support/synthetic_images.h"

namespace q3d::cli {
namespace {

TEST(MatchCsv, ReadsMatchesInFileOrderWithTheirLines) {
  std::string error;
  const auto matches = ParseMatchCsv(
      "\xEF\xBB\xBFx1, y1 ,x2,y2\r\n10,20.5,30,40\r\n\r\n  1e1 , 0 , 7.25 ,3\n", error);
  ASSERT_TRUE(matches) << error;
  ASSERT_EQ(matches->size(), 2u);
  EXPECT_DOUBLE_EQ((*matches)[0].y1, 20.5);
  EXPECT_EQ((*matches)[0].line, 2);
  EXPECT_DOUBLE_EQ((*matches)[1].x1, 10.0);
  EXPECT_DOUBLE_EQ((*matches)[1].x2, 7.25);
  EXPECT_EQ((*matches)[1].line, 4);  // the blank line 3 still counts
}

TEST(MatchCsv, HeaderOnlyGivesNoMatches) {
  std::string error;
  const auto matches = ParseMatchCsv("x1,y1,x2,y2", error);
  ASSERT_TRUE(matches) << error;
  EXPECT_TRUE(matches->empty());
}

TEST(MatchCsv, NamesTheLineAndTheFaultOfABadFile) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"", "empty"},
      {"\n\n", "empty"},
      {"x,y,x2,y2\n1,2,3,4\n", "line 1: expected the header"},
      {"1,2,3,4\n", "line 1: expected the header"},
      {"x1,y1,x2,y2\n1,2,3,4\n5,6,7\n", "line 3: expected 4 values"},
      {"x1,y1,x2,y2\n1,2,3,4,5\n", "line 2: expected 4 values"},
      {"x1,y1,x2,y2\n1,2,abc,4\n", "line 2: x2 \"abc\" is not a finite number"},
      {"x1,y1,x2,y2\n1,2,3,4x\n", "line 2: y2"},
      {"x1,y1,x2,y2\n1,,3,4\n", "line 2: y1"},
      {"x1,y1,x2,y2\n\n\nnan,2,3,4\n", "line 4: x1"},
      {"x1,y1,x2,y2\n1,inf,3,4\n", "line 2: y1"},
      {"x1,y1,x2,y2\n1,1e999,3,4\n", "line 2: y1"},
      {"x1,y1,x2,y2\n1,2,-3,4\n", "line 2: x2 -3 is negative"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseMatchCsv(c.text, error)) << c.text;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(MatchCsv, EmbeddedNulIsRejected) {
  std::string error;
  const std::string text("x1,y1,x2,y2\n1,2\0,3,4\n", 22);
  EXPECT_FALSE(ParseMatchCsv(text, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(MatchCsv, FileErrorsNameTheFile) {
  test::TempDir dir;
  std::string error;
  const std::string missing = dir.File("missing.csv").string();
  EXPECT_FALSE(ReadMatchCsv(missing, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;

  const std::string bad = dir.File("bad.csv").string();
  std::ofstream(bad) << "x1,y1,x2,y2\n1,2,3\n";
  EXPECT_FALSE(ReadMatchCsv(bad, error));
  EXPECT_EQ(error.find(bad + ": line 2:"), 0u) << error;

  EXPECT_FALSE(ReadMatchCsv(dir.File("").string(), error));  // the directory itself
  EXPECT_NE(error.find("folder"), std::string::npos) << error;
}

TEST(MatchCsv, ARepeatedRowIsRefused) {
  std::string error;
  EXPECT_FALSE(ParseMatchCsv("x1,y1,x2,y2\n1,2,3,4\n5,6,7,8\n1.0,2,3,4e0\n", error));
  EXPECT_EQ(error, "line 4: repeats the match of line 2");
}

// Seeded mutations of a valid match file: parsed or refused with one printable line.
TEST(MatchCsv, MutatedFilesGiveMatchesOrOnePrintableLine) {
  const std::string original = "x1,y1,x2,y2\n10,20.5,30,40\n1e1,0,7.25,3\n5,6,7,8\n";
  std::string alphabet = ",.-+eE0123456789\n\r\t \x1b\xff\xc3";
  alphabet.push_back('\0');
  std::mt19937 rng(11);
  int parsed = 0, refused = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    std::string text = original;
    for (int e = 1 + static_cast<int>(rng() % 4); e > 0 && !text.empty(); --e) {
      const size_t at = rng() % text.size();
      const char c = rng() % 2 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng());
      switch (rng() % 3) {
        case 0:
          text[at] = c;
          break;
        case 1:
          text.insert(at, 1, c);
          break;
        default:
          text.erase(at, 1 + rng() % 3);
      }
    }
    std::string error;
    if (const auto matches = ParseMatchCsv(text, error)) {
      ++parsed;
      for (const CsvMatch& m : *matches) ASSERT_TRUE(std::isfinite(m.x1 + m.y1 + m.x2 + m.y2));
    } else {
      ++refused;
      ASSERT_TRUE(test::IsOnePrintableLine(error)) << error;
    }
  }
  EXPECT_GT(parsed, 20);  // both outcomes exercised
  EXPECT_GT(refused, 500);
}

}  // namespace
}  // namespace q3d::cli
