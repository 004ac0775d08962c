// Every failure of the tool: exit status 1, one line on stderr, and no output file
// written or changed.
#include <fstream>

#include "base/build_version.h"
#include "cli_test_support.h"
#include "support/printable_line.h"

namespace q3d::test {
namespace {

class CliFailure : public CliTest {
 protected:
  void SetUp() override { MakeScene(12, 12); }

  std::vector<std::string> NewWords(const std::string& image1, const std::string& image2,
                                    const std::string& csv, const std::string& out) const {
    std::vector<std::string> words = {"new", "--image1", image1, "--image2", image2, "-o", out};
    if (!csv.empty()) words.insert(words.end(), {"--matches", csv});
    return words;
  }
};

TEST_F(CliFailure, UsageMistakes) {
  const CliRun bare = Run({});
  EXPECT_EQ(bare.status, 1);
  EXPECT_NE(bare.err.find("Usage:"), std::string::npos);

  ExpectFailure({"frobnicate"}, "unknown command 'frobnicate'");
  ExpectFailure({"info"}, "'info' needs P.qvp");
  ExpectFailure({"info", "a.qvp", "--bogus"}, "unknown option --bogus");
  ExpectFailure({"new", "--image1", "a.bmp", "-o", "p.qvp"}, "needs --image2");
  ExpectFailure({"render", "p.qvp", "--seed", "-3"}, "--seed");
  ExpectFailure({"snap", "p.qvp", "--camera", "3", "--at", "1,1"}, "--camera: 3 is outside 1..2");
  ExpectFailure({"snap", "p.qvp", "--camera", "1", "--at", "1;1"}, "--at");
}

TEST_F(CliFailure, HelpAndVersionAreAvailableEverywhere) {
  const CliRun version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quorvan3d-cli " + VersionText() + "\n");
  const CliRun tool = Run({"--help"});
  EXPECT_EQ(tool.status, 0);
  EXPECT_NE(tool.out.find("--version"), std::string::npos) << tool.out;
  for (const char* command : {"new", "render", "snap", "info"}) {
    EXPECT_NE(tool.out.find(std::string("  ") + command), std::string::npos) << tool.out;
    const CliRun help = Run({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: quorvan3d-cli ") + command, 0), 0u) << help.out;
  }
}

TEST_F(CliFailure, NewRefusesUnreadableImagesAndLeavesNoFile) {
  const std::string garbage = File("garbage.bmp");
  std::ofstream(garbage) << "BM this is not a bitmap";
  const std::string out = File("p.qvp");
  ExpectFailure(NewWords(File("missing.bmp"), files_.image2.string(), "", out), "missing.bmp");
  ExpectFailure(NewWords(files_.image1.string(), garbage, "", out), "garbage.bmp");
  ExpectFailure(NewWords(files_.image1.string(), Dir().string(), "", out), "");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CliFailure, NewRefusesALowDepthBitmap) {
  const std::string grey = File("grey.bmp");
  WriteBytes(grey, EncodeBmp(DrawDiscs(64, 48, {}), {.bitsPerPixel = 8}));
  ExpectFailure(NewWords(grey, files_.image2.string(), "", File("p.qvp")),
                "Pixel depth must be greater than 8 bpp");
}

TEST_F(CliFailure, NewReportsTheLineOfAMalformedMatchFile) {
  const std::string out = File("p.qvp");
  const std::string csv = File("bad.csv");
  std::ofstream(csv) << "x1,y1,x2,y2\n1,2,3,4\n5,6,7,8\n9,ten,11,12\n";
  ExpectFailure(NewWords(files_.image1.string(), files_.image2.string(), csv, out),
                csv + ": line 4: y1 \"ten\" is not a finite number");

  std::ofstream(csv) << "x1,y1,x2,y2\n1,2,3,4\n5,6,640,8\n";  // x2 = width lies outside
  ExpectFailure(NewWords(files_.image1.string(), files_.image2.string(), csv, out),
                csv + ": line 3: point (640, 8) lies outside image 2 (640 x 480 pixels)");

  ExpectFailure(NewWords(files_.image1.string(), files_.image2.string(), File("none.csv"), out),
                "none.csv");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CliFailure, AFailingNewLeavesAnExistingOutputAlone) {
  const std::string out = File("p.qvp");
  std::ofstream(out) << "precious";
  const auto before = ReadBytes(out);
  ExpectFailure(NewWords(File("missing.bmp"), files_.image2.string(), "", out), "missing.bmp");
  EXPECT_EQ(ReadBytes(out), before);
}

TEST_F(CliFailure, CorruptedOrMissingProjects) {
  const std::string project = NewProject("p.qvp");
  auto bytes = ReadBytes(project);
  const std::string truncated = File("truncated.qvp");
  WriteBytes(truncated, std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
  const auto truncatedBytes = ReadBytes(truncated);

  ExpectFailure({"info", truncated}, "Error: Invalid format");
  ExpectFailure({"render", truncated}, "Error: Invalid format");
  ExpectFailure({"snap", truncated, "--camera", "1", "--at", "5,5"}, "Error: Invalid format");
  EXPECT_EQ(ReadBytes(truncated), truncatedBytes);

  ExpectFailure({"info", File("missing.qvp")}, "missing.qvp");
  ExpectFailure({"info", Dir().string()}, "directory");
  ExpectFailure({"render", File("missing.qvp"), "-o", File("out.qvp")}, "missing.qvp");
  EXPECT_FALSE(std::filesystem::exists(File("out.qvp")));
}

TEST_F(CliFailure, RenderNeedsTenMatches) {
  const std::string csv = File("nine.csv");
  std::ofstream(csv) << MatchCsvText(scene_, 9);
  const std::string project = File("nine.qvp");
  ASSERT_EQ(Run(NewWords(files_.image1.string(), files_.image2.string(), csv, project)).status, 0);
  const auto before = ReadBytes(project);
  ExpectFailure({"render", project}, "at least 10 matches; the project has 9");
  ExpectFailure({"render", project, "-o", File("r.qvp")}, "at least 10 matches");
  EXPECT_EQ(ReadBytes(project), before);
  EXPECT_FALSE(std::filesystem::exists(File("r.qvp")));
}

TEST_F(CliFailure, ARenderRefusesBadFocalOptions) {
  const std::string project = NewProject("p.qvp");
  ExpectFailure({"render", project, "--focal", "-3"}, "--focal");
  ExpectFailure({"render", project, "--focal2", "abc"}, "--focal2");
  ExpectFailure({"render", project, "--refine", "--no-refine"}, "--no-refine");
}

TEST_F(CliFailure, ASaveThatCannotBeWrittenIsReported) {
  const std::string project = NewProject("p.qvp");
  ExpectFailure({"render", project, "-o", File("no/such/dir/r.qvp")}, "r.qvp");
  const auto listing = Listing();
  EXPECT_EQ(std::count_if(listing.begin(), listing.end(),
                          [](const std::string& n) { return n.find(".tmp") != std::string::npos; }),
            0);
}

// An output that is one of the inputs, under any name, is refused before anything is
// written; messages quote file text as printable characters.
TEST_F(CliFailure, OutputOntoAnInputIsRefusedAndFileTextIsMadePrintable) {
  const std::vector<uint8_t> photograph = ReadBytes(files_.image1);
  const std::string alias = File("alias.png");
  std::filesystem::create_symlink(files_.image1, alias);
  ExpectFailure(NewWords(files_.image1.string(), files_.image2.string(), "", alias),
                "writing it would destroy image 1");
  ExpectFailure(NewWords(files_.image1.string(), files_.image2.string(), files_.matches.string(),
                         files_.matches.string()),
                "writing it would destroy the match file");
  EXPECT_EQ(ReadBytes(files_.image1), photograph);
  const std::string project = NewProject("p.qvp");
  ExpectFailure({"export", project, "-o", project}, "writing it would destroy the project");

  const std::string csv = File("hostile.csv");
  std::ofstream(csv) << "x1,y1,x2,y2\n1,2,3,4\n\x1b]0;owned\x07" << std::string(100000, 'x')
                     << "\xff,1,2,3\n";
  const CliRun run =
      Run(NewWords(files_.image1.string(), files_.image2.string(), csv, File("q.qvp")));
  EXPECT_NE(run.err.find("\\x1B]0;owned\\x07xxx"), std::string::npos) << run.err;
  EXPECT_LT(run.err.size(), 400u);
  EXPECT_TRUE(IsOnePrintableLine(run.err.substr(0, run.err.size() - 1))) << run.err;
}

}  // namespace
}  // namespace q3d::test
