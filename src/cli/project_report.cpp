#include "cli/project_report.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "project/calibration_quality.h"
#include "project/project_doc.h"
#include "project/reprojection.h"

namespace q3d::cli {
namespace {

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string MatrixRowText(const Matrix& m, Eigen::Index row) {
  std::string text;
  for (Eigen::Index c = 0; c < m.cols(); ++c) text += Format(c ? " %12.6f" : "%12.6f", m(row, c));
  return text;
}

// The focal length in pixels of a calibration [-f, 0, 0; 0, -f, 0; 0, 0, 1]; nothing for
// a missing or zero calibration (a render whose focal search found no trial).
std::optional<double> FocalLength(const Matrix& A) {
  if (A.rows() != 3 || A.cols() != 3 || !std::isfinite(A(0, 0)) || A(0, 0) == 0.0)
    return std::nullopt;
  return std::abs(A(0, 0));
}

}  // namespace

ProjectReport ReportProjectContents(const CProjectDoc& doc) {
  ProjectReport report;
  JsonValue::Array images;
  for (int i = 0; i < 2; ++i) {
    const CCamera& camera = doc.Camera(i);
    JsonValue image = JsonValue::Object{};
    image.Set("loaded", camera.HasImage());
    image.Set("width", camera.Width());
    image.Set("height", camera.Height());
    image.Set("points", camera.m_points.Count());
    const CameraFocal& focal = camera.m_focal;
    if (focal.exif_px > 0) image.Set("focal_exif_px", focal.exif_px);
    if (focal.exif_sigma > 0) image.Set("focal_exif_precision", focal.exif_sigma);
    if (focal.entered_px > 0) image.Set("focal_entered_px", focal.entered_px);
    if (focal.entered_sigma > 0) image.Set("focal_entered_precision", focal.entered_sigma);
    if (!focal.make.empty()) image.Set("camera_make", focal.make);
    if (!focal.model.empty()) image.Set("camera_model", focal.model);
    if (doc.IsRendered())
      image.Set("focal_source", FocalSourceName(doc.m_stereoPair.m_focalSource[i]));
    images.push_back(std::move(image));
    const std::string label = "Image " + std::to_string(i + 1) + ": ";
    report.text.push_back(label +
                          (camera.HasImage() ? std::to_string(camera.Width()) + " x " +
                                                   std::to_string(camera.Height()) + " pixels"
                                             : std::string("none")) +
                          ", " + std::to_string(camera.m_points.Count()) + " points");
  }
  report.json.Set("images", JsonValue(std::move(images)));
  report.json.Set("matches", doc.m_stereoPair.m_matches.Count());
  report.json.Set("rendered", doc.IsRendered());
  const CStereoPair& pair = doc.m_stereoPair;
  report.json.Set("camera_choice", CameraSharingName(pair.m_cameraSharing));
  report.json.Set("one_camera", pair.SharesFocal());
  report.text.push_back("Matches: " + std::to_string(doc.m_stereoPair.m_matches.Count()));
  report.text.push_back(std::string("Rendered: ") + (doc.IsRendered() ? "yes" : "no"));
  report.text.push_back(std::string("Cameras: ") +
                        (pair.SharesFocal() ? "one (one focal length)" : "two") + ", " +
                        CameraSharingName(pair.m_cameraSharing) + " choice");
  return report;
}

void AppendRenderResults(CProjectDoc& doc, ProjectReport& report) {
  if (!doc.IsRendered()) return;
  CStereoPair& pair = doc.m_stereoPair;
  const auto f1 = FocalLength(pair.m_A1);
  const auto f2 = FocalLength(pair.m_A2);
  if (!f1 || !f2 || pair.m_Rcam.rows() != 3 || pair.m_Rcam.cols() != 3 || pair.m_t.size() != 3) {
    report.json.Set("f1", JsonValue());
    report.json.Set("f2", JsonValue());
    report.text.push_back("The render found no calibration.");
    return;
  }
  report.json.Set("f1", *f1);
  report.json.Set("f2", *f2);
  report.json.Set("R", JsonValue::FromMatrix(pair.m_Rcam));
  report.json.Set("t", JsonValue::FromMatrix(pair.m_t));
  report.text.push_back(Format("f1: %.3f px (", *f1) + FocalSourceName(pair.m_focalSource[0]) +
                        ")");
  report.text.push_back(Format("f2: %.3f px (", *f2) + FocalSourceName(pair.m_focalSource[1]) +
                        ")");
  report.text.push_back("R:");
  for (Eigen::Index r = 0; r < 3; ++r) report.text.push_back("  " + MatrixRowText(pair.m_Rcam, r));
  report.text.push_back("t:");
  report.text.push_back("  " + MatrixRowText(pair.m_t.transpose(), 0));

  if (const auto quality = AssessCalibration(pair)) {
    report.json.Set("f1_deviation", quality->f1_deviation);
    report.json.Set("f2_deviation", quality->f2_deviation);
    report.json.Set("principal_point_separation_px", quality->separation_px);
    report.json.Set("epipolar_scatter_px", quality->scatter_px);
    report.text.push_back(
        Format("Focal length deviation: f1 %.1f %%, ", 100 * quality->f1_deviation) +
        Format("f2 %.1f %% ", 100 * quality->f2_deviation) +
        Format("(principal points %.1f px off each other's epipolar lines, ",
               quality->separation_px) +
        Format("matches %.3f px)", quality->scatter_px));
  }

  // Without 3D points the errors below are reported as not available.
  if (pair.m_XW.rows() != pair.m_matches.Count()) static_cast<void>(pair.TriangulateMatches());
  const auto errors = ComputeReprojectionErrors(pair);
  if (!errors) {
    report.json.Set("reprojection_error_px", JsonValue());
    report.text.push_back("Median reprojection error: not available");
    return;
  }
  report.json.Set("reprojection_error_px", errors->median_px);
  report.json.Set("reprojection_error_image1_px", errors->median1_px);
  report.json.Set("reprojection_error_image2_px", errors->median2_px);
  report.text.push_back(Format("Median reprojection error: %.4f px", errors->median_px) +
                        Format(" (image 1: %.4f px, ", errors->median1_px) +
                        Format("image 2: %.4f px)", errors->median2_px));
}

}  // namespace q3d::cli
