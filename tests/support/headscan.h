#pragma once
// The photographed head scans beside the repository (../shared/headscan): a case's truth
// (cameras, the dots' 3D positions, camera 1's true depth) and the score of a dense
// surface against it, measured as the data's README prescribes.
#include <Eigen/Core>
#include <filesystem>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "model/dense_surface.h"
#include "project/project_doc.h"

namespace q3d::test {

std::filesystem::path HeadscanDir(const std::string& name);

struct HeadscanTruth {
  double f1 = 0;
  double faceWidth = 0;
  std::vector<Eigen::Vector3d> dots3d;  // world = camera 1
  std::vector<cv::Point2f> dotsImage1;  // exact centres, 0-based
  std::vector<int> csvRowDot;           // the dot of each row of matches.csv
  cv::Mat depth1;                       // CV_32F, NaN off the head
};

// Reads truth.json and depth1.tiff; false when either is missing or malformed.
bool LoadHeadscanTruth(const std::filesystem::path& dir, HeadscanTruth& truth);

enum class HeadscanMatches { kGiven, kAutomatic };

// The project as a user makes it: the JPEG photographs (with their EXIF), the matches of
// matches.csv or those automatic matching finds, rendered.
Status MakeHeadscanProject(const std::filesystem::path& dir, CProjectDoc& doc,
                           HeadscanMatches matches = HeadscanMatches::kGiven);

// The dot each of the project's matches sits on in image 1 (within 1.5 pixels of its exact
// centre), -1 for a match on none.
std::vector<int> DotsOfMatches(const HeadscanTruth& truth, const CStereoPair& pair);

// Depth errors and normals as shares of the face width and degrees.
struct DenseScore {
  double insideRms = 0, insideP95 = 0, insideMedian = 0;  // % of face width
  double marginRms = 0;                                   // % of face width
  double normalMedian = 0, normalP90 = 0;                 // degrees
  // Mean normal angles (degrees) on the dots' rims (2-4 pixels from a dot's centre in image
  // 1) and on the skin between them (6-14 pixels): a dot that leaves a dimple or a bump in
  // the surface shows as worse normals on its rim.
  double normalOnDotRims = 0, normalBetweenDots = 0;
  double coverage = 0;  // share of the head's pixels inside the hull that the mesh covers
  size_t vertices = 0;
  // Closed loops of edges that only one triangle uses: 1 for a surface with one outline and
  // no hole.
  size_t outlines = 0;
  // RMS distance of an outline vertex from the middle of its outline neighbours, % of face
  // width: the teeth of a ragged outline.
  double outlineRoughness = 0;
};

// The surface carried into the truth's frame by the similarity that best maps the rendered
// matches' points (pair.m_XW) onto their true dots: `dotOfRow` gives each row's dot, -1 to
// leave it out.
DenseScore ScoreDenseSurface(const HeadscanTruth& truth, const Matrix& renderedPoints,
                             const std::vector<int>& dotOfRow, const DenseSurface& surface);

std::string Describe(const DenseScore& score);

}  // namespace q3d::test
