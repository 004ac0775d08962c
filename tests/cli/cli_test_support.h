#pragma once
// Shared pieces of the tool's end-to-end tests: a scratch directory with a synthetic
// stereo pair, running the tool and reading its JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "json_reader.h"
#include "stereo_scene.h"
#include "support/synthetic_images.h"

namespace q3d::test {

class CliTest : public ::testing::Test {
 protected:
  // count points in the images, the first matchCount of them in the match file.
  void MakeScene(int count, int matchCount, unsigned seed = 11) {
    scene_ = MakeStereoScene(count, seed);
    files_ = WriteSceneFiles(scene_, matchCount, Dir());
  }

  std::filesystem::path Dir() const { return dir_.File(""); }
  std::string File(const std::string& name) const { return dir_.File(name).string(); }
  CliRun Run(const std::vector<std::string>& words) const { return RunCli(words, Dir()); }

  // Runs a command expected to succeed with --json and returns its object.
  Json RunJson(std::vector<std::string> words) const {
    words.push_back("--json");
    const CliRun run = Run(words);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LineCount(run.out), 1) << run.out;
    auto json = Json::Parse(run.out);
    EXPECT_TRUE(json) << run.out;
    return json ? *json : Json();
  }

  // Runs a command expected to fail: status 1, one line on stderr naming the fault, nothing
  // on stdout.
  void ExpectFailure(const std::vector<std::string>& words, const std::string& expected) const {
    const CliRun run = Run(words);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
    EXPECT_EQ(run.err.rfind("quorvan3d-cli: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }

  // The project of the scene's match file.
  std::string NewProject(const std::string& name) {
    const std::string path = File(name);
    const CliRun run =
        Run({"new", "--image1", files_.image1.string(), "--image2", files_.image2.string(),
             "--matches", files_.matches.string(), "-o", path});
    EXPECT_EQ(run.status, 0) << run.err;
    return path;
  }

  // Names in the scratch directory (to see that a failure left no stray file behind).
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Dir()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  StereoScene scene_;
  SceneFiles files_;
};

}  // namespace q3d::test
