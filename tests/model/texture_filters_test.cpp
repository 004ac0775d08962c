#include "model/texture_filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <opencv2/imgproc.hpp>
#include <random>

#include "model/makeup_cleaner.h"

namespace q3d {
namespace {

const cv::Vec3b kSkin(150, 170, 210);  // BGR
const cv::Vec3b kDot(40, 45, 70);

int CountDarkPixels(const cv::Mat& bgr, int threshold) {
  cv::Mat gray;
  cv::cvtColor(bgr, gray, cv::COLOR_BGR2GRAY);
  return cv::countNonZero(gray < threshold);
}

// A skin-coloured patch with dark dots of radius 3 at seeded random places of a grid of
// 20 px cells, a dot's painted spacing.
cv::Mat SkinWithDots(int size, int dots, unsigned seed) {
  cv::Mat patch(size, size, CV_8UC3, cv::Scalar(kSkin));
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> jitter(-4, 4);
  const int cells = (size - 8) / 20;
  std::vector<int> free(static_cast<size_t>(cells * cells));
  std::iota(free.begin(), free.end(), 0);
  std::shuffle(free.begin(), free.end(), rng);
  for (int i = 0; i < std::min(dots, cells * cells); ++i) {
    const int cx = 14 + 20 * (free[i] % cells), cy = 14 + 20 * (free[i] / cells);
    cv::circle(patch, {cx + jitter(rng), cy + jitter(rng)}, 3, cv::Scalar(kDot), cv::FILLED);
  }
  return patch;
}

TEST(MaskFilter, FiltersOnlyTheRegionWithItsOwnBorderReplicated) {
  // Bright pixels all around a black region must not bleed into its filtered copy.
  for (auto kind : {TextureFilterKind::Blur, TextureFilterKind::Median}) {
    cv::Mat texture(64, 64, CV_8UC3, cv::Scalar(255, 255, 255));
    texture(cv::Rect(16, 16, 32, 32)).setTo(cv::Scalar(0, 0, 0));
    cv::Mat out;
    ASSERT_TRUE(ApplyMaskFilter(kind, texture(cv::Rect(16, 16, 32, 32)), out, 9));
    EXPECT_EQ(cv::countNonZero(out.reshape(1)), 0);
  }
}

TEST(MaskFilter, MedianRemovesIsolatedSpeckleAndBlurSpreadsIt) {
  cv::Mat image(21, 21, CV_8UC3, cv::Scalar(100, 100, 100));
  image.at<cv::Vec3b>(10, 10) = cv::Vec3b(255, 255, 255);
  cv::Mat median, blurred;
  ASSERT_TRUE(ApplyMaskFilter(TextureFilterKind::Median, image, median, 3));
  ASSERT_TRUE(ApplyMaskFilter(TextureFilterKind::Blur, image, blurred, 3));
  EXPECT_EQ(median.at<cv::Vec3b>(10, 10), cv::Vec3b(100, 100, 100));
  // (8 * 100 + 255) / 9 = 117.2 around the speckle, untouched further away.
  EXPECT_NEAR(blurred.at<cv::Vec3b>(9, 11)[0], 117, 1);
  EXPECT_EQ(blurred.at<cv::Vec3b>(10, 13)[0], 100);
}

TEST(MaskFilter, WritesIntoACallersRegionInPlace) {
  cv::Mat texture(40, 40, CV_8UC3, cv::Scalar(10, 10, 10));
  texture.at<cv::Vec3b>(20, 20) = cv::Vec3b(250, 250, 250);
  cv::Mat region = texture(cv::Rect(10, 10, 20, 20));
  ASSERT_TRUE(ApplyMaskFilter(TextureFilterKind::Median, region, region, 5));
  EXPECT_EQ(texture.at<cv::Vec3b>(20, 20), cv::Vec3b(10, 10, 10));
}

TEST(MaskFilter, RefusesImagesItCannotFilter) {
  cv::Mat out;
  EXPECT_FALSE(ApplyMaskFilter(TextureFilterKind::Blur, cv::Mat(), out, 3));
  EXPECT_FALSE(ApplyMaskFilter(TextureFilterKind::Median, cv::Mat(8, 8, CV_32FC3), out, 3));
  EXPECT_FALSE(ApplySharpen(cv::Mat(8, 8, CV_8UC1), out));
}

TEST(Sharpen, KeepsFlatAreasAndSteepensEdges) {
  cv::Mat image(10, 10, CV_8UC3, cv::Scalar(100, 100, 100));
  image(cv::Rect(5, 0, 5, 10)).setTo(cv::Scalar(140, 140, 140));
  cv::Mat out;
  ASSERT_TRUE(ApplySharpen(image, out));
  EXPECT_EQ(out.at<cv::Vec3b>(5, 1)[0], 100);
  EXPECT_EQ(out.at<cv::Vec3b>(5, 8)[0], 140);
  EXPECT_LT(out.at<cv::Vec3b>(5, 4)[0], 100);  // undershoot on the dark side
  EXPECT_GT(out.at<cv::Vec3b>(5, 5)[0], 140);  // overshoot on the bright side
}

TEST(MakeupCleaner, ThresholdZeroMarksNothing) {
  cv::Mat patch = SkinWithDots(64, 6, 7);
  const cv::Mat before = patch.clone();
  MakeupCleaner cleaner;
  ASSERT_TRUE(cleaner.Prepare(patch));
  ASSERT_TRUE(cleaner.Apply(0, 5, 19));
  EXPECT_EQ(cv::countNonZero(cleaner.Mask()), 0);
  EXPECT_EQ(cv::norm(patch, before, cv::NORM_INF), 0.0);
}

TEST(MakeupCleaner, RemovesDarkDotsFromSkin) {
  cv::Mat patch = SkinWithDots(128, 20, 42);
  ASSERT_GT(CountDarkPixels(patch, 128), 400);
  MakeupCleaner cleaner;
  ASSERT_TRUE(cleaner.Prepare(patch));
  ASSERT_TRUE(cleaner.Apply(128, 5, 19));
  EXPECT_EQ(CountDarkPixels(patch, 128), 0);
  // Skin far from every dot keeps its exact colour: only marked pixels change.
  const cv::Mat untouched = cleaner.Mask() == 0;
  const cv::Mat reference(patch.size(), CV_8UC3, cv::Scalar(kSkin));
  cv::Mat diff;
  cv::absdiff(patch, reference, diff);
  cv::Mat diffGray;
  cv::cvtColor(diff, diffGray, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero(diffGray & untouched), 0);
}

TEST(MakeupCleaner, PreviewsReuseTheGreyOfThePreparedTarget) {
  // After a first clean the target has no dark pixels left, but a second Apply still
  // works from the grey image taken at Prepare, as a dialog's live preview does.
  cv::Mat patch = SkinWithDots(64, 4, 3);
  MakeupCleaner cleaner;
  ASSERT_TRUE(cleaner.Prepare(patch));
  ASSERT_TRUE(cleaner.Apply(128, 3, 9));
  const int marked = cv::countNonZero(cleaner.Mask());
  ASSERT_TRUE(cleaner.Apply(128, 3, 9));
  EXPECT_EQ(cv::countNonZero(cleaner.Mask()), marked);
  cleaner.Reset();
  EXPECT_FALSE(cleaner.Apply(128, 3, 9));
}

TEST(MakeupCleaner, FindsDotsInShadowAndFillsDotsWiderThanTheWindowWithSkin) {
  // Lit skin on the right, skin in a shadow of half the light on the left (darker than the
  // threshold), and dots of 7 px radius on both: wider than half the 9 px window.
  cv::Mat patch(96, 192, CV_8UC3, cv::Scalar(kSkin));
  cv::Mat shadow = patch(cv::Rect(0, 0, 96, 96));
  shadow.convertTo(shadow, -1, 0.5);
  for (int x = 24; x < 192; x += 48)
    for (int y = 24; y < 96; y += 48) {
      const cv::Vec3b skin = patch.at<cv::Vec3b>(y, x);
      cv::circle(patch, {x, y}, 7, cv::Scalar(skin[0] / 5, skin[1] / 5, skin[2] / 5), cv::FILLED);
    }
  MakeupCleaner cleaner;
  ASSERT_TRUE(cleaner.Prepare(patch));
  ASSERT_TRUE(cleaner.Apply(128, 3, 9));
  // Every pixel ends as the skin of its side: no dot, no dark core, no lightened shadow.
  for (int y = 0; y < patch.rows; ++y)
    for (int x = 0; x < patch.cols; ++x) {
      const double skin = x < 96 ? 0.5 * kSkin[2] : kSkin[2];
      ASSERT_NEAR(patch.at<cv::Vec3b>(y, x)[2], skin, 2) << x << ", " << y;
    }
}

// An eye (a dark iris and pupil against the white of the eye, between lid lines) and a
// mouth line among dots: only the dots go, every pixel of the eye and the mouth stays.
TEST(MakeupCleaner, RemovesTheDotsAndLeavesTheEyeAndTheLips) {
  cv::Mat face = SkinWithDots(160, 12, 5);
  face(cv::Rect(44, 44, 60, 60)).setTo(cv::Scalar(kSkin));  // whole grid cells, no half dots
  face(cv::Rect(0, 124, 160, 20)).setTo(cv::Scalar(kSkin));
  cv::ellipse(face, {80, 80}, {22, 10}, 0, 0, 360, cv::Scalar(235, 240, 245),
              cv::FILLED);                                                      // sclera
  cv::ellipse(face, {80, 80}, {22, 10}, 0, 0, 360, cv::Scalar(60, 70, 90), 2);  // lids
  cv::circle(face, {80, 80}, 7, cv::Scalar(50, 80, 110), cv::FILLED);           // iris
  cv::circle(face, {80, 80}, 3, cv::Scalar(10, 10, 10), cv::FILLED);            // pupil
  cv::line(face, {50, 134}, {110, 134}, cv::Scalar(60, 50, 120), 4);            // lips
  cv::Mat features = cv::Mat::zeros(face.size(), CV_8U);
  cv::rectangle(features, cv::Rect(56, 68, 49, 25), cv::Scalar(255), cv::FILLED);
  cv::rectangle(features, cv::Rect(46, 129, 69, 11), cv::Scalar(255), cv::FILLED);
  const cv::Mat before = face.clone();
  MakeupCleaner cleaner;
  ASSERT_TRUE(cleaner.Prepare(face));
  ASSERT_TRUE(cleaner.Apply(128, 5, 19));
  cv::Mat changed;
  cv::cvtColor(cv::abs(face - before) + cv::abs(before - face), changed, cv::COLOR_BGR2GRAY);
  EXPECT_EQ(cv::countNonZero(changed & features), 0) << "the eye or the lips were retouched";
  cv::Mat outside = face.clone();
  outside.setTo(cv::Scalar(kSkin), features);
  EXPECT_EQ(CountDarkPixels(outside, 128), 0) << "a dot was left";
}

TEST(BrushAlpha, FollowsTheSpotProfile) {
  const int row10[] = {1, 3, 8, 19, 36, 64, 105, 153, 201, 235, 248, 236, 200, 153, 104, 64, 36, 18, 8, 3, 1};
  const int row11[] = {1, 3, 8, 18, 36, 65, 105, 153, 201, 235, 249, 236, 200, 154, 105, 64, 36, 18, 8, 3, 1};
  const cv::Mat alpha = MakeBrushAlpha();
  ASSERT_EQ(alpha.size(), cv::Size(kBrushWidth, kBrushHeight));
  for (int x = 0; x < kBrushWidth; ++x) {
    EXPECT_NEAR(alpha.at<uint8_t>(10, x), row10[x], 3) << x;
    EXPECT_NEAR(alpha.at<uint8_t>(11, x), row11[x], 3) << x;
  }
  for (auto [y, x] : {std::pair{0, 0}, {0, 20}, {21, 0}, {21, 20}})
    EXPECT_EQ(alpha.at<uint8_t>(y, x), 0);
}

TEST(CloneBrush, SourceRectanglesNearTheBorderAreRejected) {
  EXPECT_FALSE(RectInside(BrushRectAt(9, 100), 512, 512));
  EXPECT_TRUE(RectInside(BrushRectAt(10, 100), 512, 512));
  EXPECT_FALSE(RectInside(BrushRectAt(100, 10), 512, 512));
  EXPECT_TRUE(RectInside(BrushRectAt(100, 11), 512, 512));
  EXPECT_TRUE(RectInside(BrushRectAt(501, 501), 512, 512));
  EXPECT_FALSE(RectInside(BrushRectAt(502, 100), 512, 512));
  EXPECT_FALSE(RectInside(BrushRectAt(100, 502), 512, 512));
}

TEST(CloneBrush, CompositesTheSourceAndLeavesTransparentCornersAlone) {
  cv::Mat texture(64, 64, CV_8UC3, cv::Scalar(0, 0, 0));
  texture(cv::Rect(0, 0, 32, 64)).setTo(cv::Scalar(200, 100, 50));
  const cv::Mat before = texture.clone();
  const cv::Mat alpha = MakeBrushAlpha();
  ASSERT_TRUE(StampCloneBrush(texture, BrushRectAt(15, 30), 45, 30, alpha));
  const Rect dst = BrushRectAt(45, 30);
  EXPECT_EQ(texture.at<cv::Vec3b>(dst.top, dst.left), cv::Vec3b(0, 0, 0));
  EXPECT_EQ(texture.at<cv::Vec3b>(dst.bottom - 1, dst.right - 1), cv::Vec3b(0, 0, 0));
  const cv::Vec3b centre = texture.at<cv::Vec3b>(30, 45);
  EXPECT_NEAR(centre[0], 200 * 248 / 255.0, 1.5);
  EXPECT_NEAR(centre[1], 100 * 248 / 255.0, 1.5);
  // Nothing outside the brush rectangle changed.
  cv::Mat changed;
  cv::absdiff(texture, before, changed);
  changed(cv::Rect(dst.left, dst.top, kBrushWidth, kBrushHeight)).setTo(0);
  EXPECT_EQ(cv::countNonZero(changed.reshape(1)), 0);
}

TEST(CloneBrush, PaintsNothingAcrossTheBorder) {
  cv::Mat texture(64, 64, CV_8UC3, cv::Scalar(90, 90, 90));
  texture(cv::Rect(20, 20, 21, 22)).setTo(cv::Scalar(0, 0, 255));
  const cv::Mat before = texture.clone();
  const cv::Mat alpha = MakeBrushAlpha();
  EXPECT_FALSE(StampCloneBrush(texture, Rect{20, 20, 41, 42}, 5, 30, alpha));
  EXPECT_FALSE(StampCloneBrush(texture, Rect{20, 20, 41, 42}, 30, 60, alpha));
  EXPECT_FALSE(StampCloneBrush(texture, Rect{-1, 20, 20, 42}, 30, 30, alpha));
  EXPECT_FALSE(StampCloneBrush(texture, Rect{20, 20, 40, 42}, 30, 30, alpha));  // wrong size
  EXPECT_EQ(cv::norm(texture, before, cv::NORM_INF), 0.0);
}

}  // namespace
}  // namespace q3d
