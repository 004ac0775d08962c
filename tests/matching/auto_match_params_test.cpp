#include "matching/auto_match_params.h"

#include <gtest/gtest.h>

namespace q3d {
namespace {

AutoMatchParams FromPositions(const std::array<int, 8>& positions) {
  AutoMatchParams params;
  // Start far from the defaults so that every field is really written.
  params = {1, 99, 9.9, 0.5, 99, 99, 0.9, 9};
  for (size_t k = 0; k < kAutoMatchFields.size(); ++k)
    SetFromSlider(params, kAutoMatchFields[k], positions[k]);
  return params;
}

std::array<std::string, 8> Labels(const AutoMatchParams& params) {
  std::array<std::string, 8> labels;
  for (size_t k = 0; k < kAutoMatchFields.size(); ++k)
    labels[k] = FormatAutoMatchValue(params, kAutoMatchFields[k]);
  return labels;
}

TEST(AutoMatchParams, DefaultSliderPositionsGiveTheDefaultsAndTheirLabels) {
  std::array<int, 8> positions{};
  for (size_t k = 0; k < kAutoMatchFields.size(); ++k)
    positions[k] = AutoMatchDefaultSliderPosition(kAutoMatchFields[k]);
  EXPECT_EQ(positions, (std::array<int, 8>{100, 1, 7, 4, 3, 3, 4, 4}));

  const AutoMatchParams fromSliders = FromPositions(positions);
  const AutoMatchParams defaults;
  EXPECT_EQ(fromSliders.points, 100);
  EXPECT_EQ(fromSliders.gaussianSize, 3);
  EXPECT_EQ(fromSliders.gaussianDev, 0.7);  // exactly: the record must equal the default
  EXPECT_EQ(fromSliders.relativeMinimum, 0.0001);
  EXPECT_EQ(fromSliders.windowWidth, 7);
  EXPECT_EQ(fromSliders.windowHeight, 7);
  EXPECT_EQ(fromSliders.threshold, 0.4);
  EXPECT_EQ(fromSliders.widthFactor, 4);
  EXPECT_EQ(Labels(fromSliders), Labels(defaults));
  EXPECT_EQ(Labels(defaults), (std::array<std::string, 8>{"100", "3", "0.7", "0.000100", "7", "7",
                                                          "0.4", "4"}));
}

TEST(AutoMatchParams, SliderAtZeroGivesTheSmallestValues) {
  const AutoMatchParams params = FromPositions({0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(params.points, 0);
  EXPECT_EQ(params.gaussianSize, 1);
  EXPECT_EQ(params.gaussianDev, 0.0);
  EXPECT_EQ(params.relativeMinimum, 1.0);
  EXPECT_EQ(params.windowWidth, 1);
  EXPECT_EQ(params.windowHeight, 1);
  EXPECT_EQ(params.threshold, 0.0);
  EXPECT_EQ(params.widthFactor, 0);
  EXPECT_EQ(Labels(params), (std::array<std::string, 8>{"0", "1", "0.0", "1.000000", "1", "1",
                                                        "0.0", "0"}));
}

TEST(AutoMatchParams, MappingAndItsInverseOverEveryPosition) {
  for (const AutoMatchField field : kAutoMatchFields) {
    const SliderRange range = AutoMatchSliderRange(field);
    const int def = AutoMatchDefaultSliderPosition(field);
    EXPECT_LE(range.min, def) << AutoMatchFieldLabel(field);
    EXPECT_GE(range.max, def) << AutoMatchFieldLabel(field);
    for (int p = range.min; p <= range.max; ++p) {
      AutoMatchParams params;
      SetFromSlider(params, field, p);
      EXPECT_EQ(SliderPositionOf(params, field), p) << AutoMatchFieldLabel(field);
    }
    // Positions outside the slider are clamped to its ends.
    AutoMatchParams below, atMin, above, atMax;
    SetFromSlider(below, field, range.min - 5);
    SetFromSlider(atMin, field, range.min);
    SetFromSlider(above, field, range.max + 5);
    SetFromSlider(atMax, field, range.max);
    EXPECT_EQ(Labels(below), Labels(atMin));
    EXPECT_EQ(Labels(above), Labels(atMax));
  }
  AutoMatchParams params;
  SetFromSlider(params, AutoMatchField::kGaussianSize, 5);
  SetFromSlider(params, AutoMatchField::kRelativeMinimum, 2);
  SetFromSlider(params, AutoMatchField::kThreshold, 8);
  EXPECT_EQ(params.gaussianSize, 11);
  EXPECT_DOUBLE_EQ(params.relativeMinimum, 0.01);
  EXPECT_EQ(FormatAutoMatchValue(params, AutoMatchField::kThreshold), "0.8");
  EXPECT_EQ(FormatAutoMatchValue(params, AutoMatchField::kRelativeMinimum), "0.010000");
}

}  // namespace
}  // namespace q3d
