// The bundled sample project opens with automatic matches good enough to render.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "project/project_doc.h"
#include "support/status_assertions.h"

namespace q3d {
namespace {

double TruthValue(const std::string& truth, const std::string& key) {
  std::smatch found;
  const std::regex entry("\"" + key + "\":\\s*([0-9.eE+-]+)");
  return std::regex_search(truth, found, entry) ? std::stod(found[1].str()) : 0.0;
}

TEST(SampleProject, OpensWithMatchesAndRendersTheTrueFocalLengths) {
  const std::filesystem::path dir = std::filesystem::path(Q3D_SAMPLES_DIR) / "face";
  ASSERT_TRUE(std::filesystem::exists(dir / "sample.qvp"));
  std::ifstream in(dir / "truth.json");
  std::stringstream text;
  text << in.rdbuf();
  const double f1 = TruthValue(text.str(), "f1");
  const double f2 = TruthValue(text.str(), "f2");
  ASSERT_GT(f1, 0.0);
  ASSERT_GT(f2, 0.0);

  CProjectDoc doc;
  ASSERT_TRUE(test::Succeeded(doc.LoadProject((dir / "sample.qvp").string())));
  EXPECT_TRUE(doc.ImagesLoaded());
  EXPECT_GE(doc.m_stereoPair.m_matches.Count(), 40);
  EXPECT_FALSE(doc.IsRendered());
  RenderOptions options;
  options.seed = 1;
  options.refine = true;
  ASSERT_TRUE(test::Succeeded(doc.Render(options)));
  EXPECT_NEAR(std::abs(doc.m_stereoPair.m_A1(0, 0)) / f1, 1.0, 0.05);
  EXPECT_NEAR(std::abs(doc.m_stereoPair.m_A2(0, 0)) / f2, 1.0, 0.05);
}

}  // namespace
}  // namespace q3d
