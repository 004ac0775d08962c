#pragma once
// Removes the dark make-up dots from a texture and nothing else: the dots are found as
// the marker detector finds them (small, round, darker than the skin around them), and
// a dark region with no even ring of skin around it (a pupil against the white of the
// eye, a nostril, the line of the lips) or much larger than the dots is left alone.
#include <opencv2/core.hpp>
#include <vector>

namespace q3d {

class MakeupCleaner {
 public:
  // A dot found on the target: centre and radius in target pixels.
  struct Dot {
    cv::Point2d centre;
    double radius = 0.0;
  };

  // Remembers the target (not owned, 8-bit BGR) and finds its dots once; previews with
  // other values reuse them. Returns false when the target is unusable or memory is short.
  bool Prepare(cv::Mat target);
  // Replaces the dots darker than threshold (for skin of the region's typical brightness,
  // scaled by the skin around each dot) with the skin around them: each pixel of a dot
  // with its soft edge (1.5 radii), grown by half of maximum (at most to twice the dot's
  // radius), takes the median of the
  // unmarked pixels of its median x median window (a wider one where that holds none).
  // A failing step pushes the image-library error record and ends the run (false).
  bool Apply(int threshold, int maximum, int median);
  // The mask of the last Apply (255 where a pixel was replaced).
  const cv::Mat& Mask() const { return mask_; }
  const std::vector<Dot>& Dots() const { return dots_; }
  // Forgets the target and releases the working images.
  void Reset();

 private:
  bool FindDots();
  // Dot-like dark spots of the mask of dark pixels that no found dot covers.
  std::vector<Dot> DarkSpotsLeft(const cv::Mat& dark) const;
  // The local skin level for the window, computed once per window size.
  bool UpdateSkinLevel(int window);
  void FillMarked(int median);

  cv::Mat target_;
  cv::Mat gray_;
  cv::Mat mask_;
  cv::Mat skin_;
  cv::Mat spotContrast_;  // how much darker than the surroundings a dot's width away
  std::vector<Dot> dots_;
  int skinWindow_ = 0;
  double typicalSkin_ = 1.0;
  double typicalRadius_ = 0.0;  // the median dot's
  double largestRadius_ = 0.0;  // of a dot: larger dark spots are no make-up
  bool judgeColour_ = false;    // the target has colour enough to tell skin by
};

}  // namespace q3d
