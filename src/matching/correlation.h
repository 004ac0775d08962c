#pragma once
// Zero-mean normalised cross-correlation of windows around feature points. Each window is
// sampled once into a zero-mean, unit-length vector, so the correlation of two windows is
// the dot product of their vectors, between -1 and 1.
#include <vector>

#include <opencv2/core.hpp>

#include "matching/feature.h"

namespace q3d {

struct CorrelationWindow {
  int width = 7;            // samples across (odd sizes centre on the point)
  int height = 7;
  double step = 1.0;        // pixels between samples: images of different scale compare alike
  double holeRadius = 0.0;  // pixels around the centre left out (a dot's own disc)
};

// One row per feature (CV_32F, width * height columns); valid[i] is 0 where the window
// leaves the image or holds no variation, and such rows correlate with nothing.
struct WindowSamples {
  cv::Mat rows;
  std::vector<char> valid;
};

// Samples the window around each feature of the CV_32F grey image, bilinearly.
WindowSamples SampleWindows(const cv::Mat& grey, const FeatureList& features,
                            const CorrelationWindow& window);

// Correlation of row i of a with row j of b; -1 when either is invalid.
double Correlation(const WindowSamples& a, int i, const WindowSamples& b, int j);

}  // namespace q3d
