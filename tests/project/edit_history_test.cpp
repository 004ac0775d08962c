// Undo and redo through the core's commands: any sequence of edits undone gives back the
// project's saved bytes, redone gives the bytes it ended with, and the modified flag says
// whether the project is its file at every step between.
#include "project/edit_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "model/texture_filters.h"
#include "project/real_distance.h"
#include "project_bytes.h"
#include "support/rendered_project.h"

namespace q3d::test {
namespace {

// A rendered project with its texture: every kind of edit has something to work on.
const std::vector<uint8_t>& StartBytes() {
  static const std::vector<uint8_t> bytes = [] {
    CProjectDoc doc;
    FillRenderedProject(doc, 24);
    doc.m_model.UpdateTexture();
    return SaveToBytes(doc);
  }();
  return bytes;
}

int Uniform(std::mt19937& rng, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}

CSpPoint* RandomPoint(CSpPointSet& points, std::mt19937& rng) {
  if (points.Count() == 0) return nullptr;
  auto it = points.m_list.begin();
  std::advance(it, Uniform(rng, 0, points.Count() - 1));
  return it->get();
}

cv::Rect RandomRect(std::mt19937& rng, int side) {
  const int x = Uniform(rng, 0, side - 40), y = Uniform(rng, 0, side - 40);
  return {x, y, Uniform(rng, 8, side - x), Uniform(rng, 8, side - y)};
}

// One edit of the kinds a user makes, chosen at random, through the commands the GUI and
// the command-line tool call (texture edits as the texture view makes them); or an undo
// or redo (then true).
bool RandomEdit(CProjectDoc& doc, std::mt19937& rng) {
  const int camera = Uniform(rng, 0, 1);
  cv::Mat texture = doc.m_model.m_texture.Mat();
  switch (Uniform(rng, 0, 9)) {
    case 0: {  // select some points (no edit by itself), then Delete
      for (const auto& p : doc.Camera(camera).m_points.m_list)
        p->m_selected = Uniform(rng, 0, 4) == 0;
      doc.m_stereoPair.m_matches.SyncSelection(camera);
      doc.DeleteSelected();
      break;
    }
    case 1:
      EXPECT_TRUE(doc.AddMatch(Uniform(rng, 0, 600), Uniform(rng, 0, 400), Uniform(rng, 0, 600),
                               Uniform(rng, 0, 400)));
      break;
    case 2:
      if (CSpPoint* p = RandomPoint(doc.Camera(camera).m_points, rng)) {
        EditScope edit(doc, "Move Point");
        p->m_x += Uniform(rng, -3, 3);
        p->m_y += 1;
      }
      break;
    case 3: {
      const int known = Uniform(rng, 0, 1);
      EXPECT_TRUE(doc.SetEnteredFocal(camera, known * Uniform(rng, 500, 3000)));
      break;
    }
    case 4:
      if (doc.IsRendered()) {
        doc.RemoveRenderData();
      } else if (doc.ReadyToRender()) {
        // As the GUI does: the render and the texture the 3D view takes are one step.
        EditScope edit(doc, "Render");
        RenderOptions options;
        options.seed = rng();
        options.refine = false;
        if (doc.Render(options)) doc.m_model.UpdateTexture();
      }
      break;
    case 5:
      if (doc.IsRendered() && doc.m_stereoPair.m_matches.Count() >= 2 && Uniform(rng, 0, 2) > 0)
        (void)SetRealDistance(doc, 1, 2, Uniform(rng, 30, 80));
      else
        ClearRealDistance(doc);
      break;
    case 6:
    case 7:
      if (!texture.empty()) {
        EditScope edit(doc, "Filter");
        cv::Mat region = texture(RandomRect(rng, texture.cols));
        cv::Mat filtered;
        const bool done = Uniform(rng, 0, 2) == 0
                              ? ApplySharpen(region, filtered)
                              : ApplyMaskFilter(Uniform(rng, 0, 1) ? TextureFilterKind::Blur
                                                                   : TextureFilterKind::Median,
                                                region, filtered, Uniform(rng, 3, 9));
        if (done) filtered.copyTo(region);
      }
      break;
    case 8:
      if (!texture.empty()) {  // a clone-brush stroke
        EditScope edit(doc, "Eraser Stroke");
        const cv::Mat alpha = MakeBrushAlpha();
        const Rect source = BrushRectAt(Uniform(rng, 20, 490), Uniform(rng, 20, 490));
        int x = Uniform(rng, 20, 490), y = Uniform(rng, 20, 490);
        for (int n = Uniform(rng, 1, 30); n > 0;
             --n, x += Uniform(rng, -3, 3), y += Uniform(rng, -3, 3))
          StampCloneBrush(texture, source, x, y, alpha);
      }
      break;
    default:  // the user goes back and forth, and then edits on from there
      if (Uniform(rng, 0, 1))
        doc.m_history.Undo();
      else
        doc.m_history.Redo();
      return true;
  }
  return false;
}

::testing::AssertionResult MatchesLinked(const CProjectDoc& doc) {
  for (const auto& m : doc.m_stereoPair.m_matches.Matches())
    if (!m->m_point1 || !m->m_point2 || m->m_point1->m_id != m->m_id1 ||
        m->m_point2->m_id != m->m_id2)
      return ::testing::AssertionFailure() << "match " << m->m_id << " is not linked to its points";
  return ::testing::AssertionSuccess();
}

TEST(EditHistory, UndoAllGivesTheSavedBytesAndRedoAllTheFinalOnesOver200Sequences) {
  const std::string file =
      (std::filesystem::path(::testing::TempDir()) / "undo_sequence.qvp").string();
  for (int sequence = 0; sequence < 200; ++sequence) {
    SCOPED_TRACE("sequence " + std::to_string(sequence));
    std::mt19937 rng(static_cast<unsigned>(sequence));
    CProjectDoc doc;
    ASSERT_TRUE(doc.LoadProjectBytes(StartBytes()));
    doc.m_history.Clear(true);
    const std::vector<uint8_t> original = SaveToBytes(doc);
    // The file is saved once on the way (or the project stays the one loaded): the flag
    // is clear only where the project is its file.
    const int edits = Uniform(rng, 1, 14);
    const int saveAfter = Uniform(rng, 0, edits);
    std::vector<uint8_t> saved = original;
    size_t savedAt = 0;
    bool movedSinceSave = false;
    for (int e = 0; e < edits; ++e) {
      movedSinceSave = RandomEdit(doc, rng) || movedSinceSave;
      if (e + 1 == saveAfter) {
        ASSERT_TRUE(doc.SaveProject(file));
        saved = SaveToBytes(doc);
        savedAt = doc.m_history.UndoCount();
        movedSinceSave = false;
      }
    }
    ASSERT_TRUE(MatchesLinked(doc));
    const std::vector<uint8_t> final = SaveToBytes(doc);
    const size_t finalAt = doc.m_history.UndoCount();

    while (doc.m_history.CanUndo()) {
      doc.m_history.Undo();
      if (!doc.IsModified()) {
        ASSERT_TRUE(SaveToBytes(doc) == saved) << "clear flag, other bytes";
      }
      if (!movedSinceSave && doc.m_history.UndoCount() == savedAt) {
        ASSERT_FALSE(doc.IsModified());
      }
    }
    ASSERT_TRUE(MatchesLinked(doc));
    ASSERT_TRUE(SaveToBytes(doc) == original) << "undo all does not give the project back";
    while (doc.m_history.UndoCount() < finalAt) doc.m_history.Redo();
    ASSERT_TRUE(MatchesLinked(doc));
    ASSERT_TRUE(SaveToBytes(doc) == final) << "redo does not give the edited project back";
  }
}

TEST(EditHistory, StepsAreNamedAndTheMemoryBoundDropsTheOldestFirst) {
  CProjectDoc doc;
  ASSERT_TRUE(doc.LoadProjectBytes(StartBytes()));
  doc.m_history.Clear(true);
  // Nothing changed: no step, and the flag stays clear.
  doc.DeleteSelected();
  EXPECT_FALSE(doc.m_history.CanUndo());
  EXPECT_FALSE(doc.IsModified());

  doc.m_camera1.m_points.SetAllSelected(1);
  doc.m_stereoPair.m_matches.SyncSelection(0);
  doc.DeleteSelected();
  EXPECT_EQ(doc.m_history.UndoName(), "Delete 48 Points");
  doc.m_history.Undo();
  EXPECT_EQ(doc.m_history.RedoName(), "Delete 48 Points");
  EXPECT_FALSE(doc.IsModified());
  EXPECT_EQ(doc.m_camera1.m_points.CountSelected(1), 24) << "the deleted points come back selected";

  // Strokes of one size: room for three of them.
  cv::Mat texture = doc.m_model.m_texture.Mat();
  const cv::Mat alpha = MakeBrushAlpha();
  const auto stroke = [&](int x) {
    EditScope edit(doc, "Eraser Stroke");
    ASSERT_TRUE(StampCloneBrush(texture, BrushRectAt(40, 40), x, 300, alpha));
  };
  stroke(100);
  const size_t one = doc.m_history.Bytes();
  doc.m_history.SetByteLimit(3 * one + one / 2);
  EXPECT_FALSE(doc.m_history.CanRedo()) << "an edit drops what was undone";
  std::vector<cv::Mat> states;
  for (int i = 0; i < 6; ++i) {
    states.push_back(texture.clone());
    stroke(150 + 40 * i);
  }
  EXPECT_EQ(doc.m_history.UndoCount(), 3u);
  EXPECT_LE(doc.m_history.Bytes(), 3 * one + one / 2);
  while (doc.m_history.CanUndo()) doc.m_history.Undo();
  EXPECT_EQ(cv::norm(texture, states[3], cv::NORM_INF), 0.0);
  EXPECT_TRUE(doc.IsModified()) << "the saved state was dropped";
}

}  // namespace
}  // namespace q3d::test
