#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace q3d::cli {
namespace {

CommandSpec TestSpec() {
  CommandSpec spec;
  spec.name = "demo";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.options = {
      {"--output", "-o", "OUT", "output"},
      {"--seed", "", "N", "seed"},
      {"--camera", "", "1|2", "camera", true},
      {"--refine", "", "", "flag"},
  };
  return spec;
}

std::optional<ParsedArguments> Parse(std::vector<std::string> words, std::string& error) {
  return ParseArguments(TestSpec(), words, error);
}

TEST(Arguments, AcceptsBothValueSpellingsFlagsAndNegativeValues) {
  std::string error;
  const auto parsed =
      Parse({"p.qvp", "-o", "out.qvp", "--seed=-5", "--camera", "2", "--refine", "--json"}, error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_EQ(parsed->Positionals(), std::vector<std::string>{"p.qvp"});
  EXPECT_EQ(parsed->Value("--output"), "out.qvp");
  EXPECT_EQ(parsed->Value("--seed"), "-5");
  EXPECT_TRUE(parsed->Has("--refine"));
  EXPECT_TRUE(parsed->Has(kJsonOption));
  EXPECT_FALSE(parsed->Has(kVerboseOption));

  const auto negative = Parse({"p.qvp", "--camera", "-1"}, error);
  ASSERT_TRUE(negative) << error;
  EXPECT_EQ(negative->Value("--camera"), "-1");
}

TEST(Arguments, RefusesWhatTheCommandDoesNotTake) {
  struct Case {
    std::vector<std::string> words;
    const char* expected;
  };
  const Case cases[] = {
      {{"p.qvp", "--camera", "1", "--bogus"}, "unknown option --bogus"},
      {{"p.qvp", "--camera"}, "--camera needs a value"},
      {{"p.qvp"}, "needs --camera"},
      {{"--camera", "1"}, "needs P.qvp"},
      {{"p.qvp", "q.qvp", "--camera", "1"}, "unexpected argument 'q.qvp'"},
      {{"p.qvp", "--camera", "1", "--camera", "2"}, "--camera given twice"},
      {{"p.qvp", "--camera", "1", "--refine=yes"}, "--refine takes no value"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.words, error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(Arguments, HelpSkipsTheChecksOfRequiredArguments) {
  std::string error;
  const auto parsed = Parse({"--help"}, error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_TRUE(parsed->Has(kHelpOption));
  const std::string help = FormatCommandHelp(TestSpec());
  EXPECT_NE(help.find("Usage: quorvan3d-cli demo P.qvp"), std::string::npos) << help;
  EXPECT_NE(help.find("--camera 1|2"), std::string::npos) << help;
  EXPECT_NE(help.find("--json"), std::string::npos) << help;
}

TEST(Arguments, ValueConversionsNameTheOption) {
  std::string error;
  EXPECT_EQ(ParseInteger("--camera", "2", 1, 2, error), 2);
  EXPECT_FALSE(ParseInteger("--camera", "3", 1, 2, error));
  EXPECT_NE(error.find("--camera: 3 is outside 1..2"), std::string::npos) << error;
  EXPECT_FALSE(ParseInteger("--camera", "1.5", 1, 2, error));
  EXPECT_FALSE(ParseInteger("--camera", "", 1, 2, error));

  EXPECT_EQ(ParseUnsigned("--seed", "18446744073709551615", error), 18446744073709551615ull);
  EXPECT_FALSE(ParseUnsigned("--seed", "18446744073709551616", error));
  EXPECT_FALSE(ParseUnsigned("--seed", "-1", error));  // strtoull would wrap it around
  EXPECT_FALSE(ParseUnsigned("--seed", "+1", error));

  EXPECT_EQ(ParseReal("--threshold", "0.5", 0, 1, error), 0.5);
  EXPECT_FALSE(ParseReal("--threshold", "nan", 0, 1, error));
  EXPECT_FALSE(ParseReal("--threshold", "inf", 0, 1e300, error));
  EXPECT_FALSE(ParseReal("--threshold", "2", 0, 1, error));

  const auto at = ParsePixelPosition("--at", "12,-3", error);
  ASSERT_TRUE(at) << error;
  EXPECT_EQ(at->x, 12);
  EXPECT_EQ(at->y, -3);
  EXPECT_FALSE(ParsePixelPosition("--at", "12", error));
  EXPECT_FALSE(ParsePixelPosition("--at", "12,3,4", error));
  EXPECT_FALSE(ParsePixelPosition("--at", "1.5,3", error));
}

}  // namespace
}  // namespace q3d::cli
