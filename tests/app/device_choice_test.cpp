#include "app/device_choice.h"

#include <gtest/gtest.h>

#include "app/opengl_probe.h"

namespace q3d {
namespace {

constexpr uint32_t kDepths = 0x400 | 0x200 | 0x100;  // 16, 24 and 32 bits per pixel

OfferedDevice Hardware(const std::string& name, uint32_t colourModel, uint32_t depths = kDepths) {
  OfferedDevice d;
  d.name = name;
  d.hardware = {colourModel, depths};
  d.software = {kColourModelRgb, depths};  // ignored while the hardware description exists
  return d;
}

OfferedDevice Software(const std::string& name, uint32_t colourModel, uint32_t depths = kDepths) {
  OfferedDevice d;
  d.name = name;
  d.software = {colourModel, depths};
  return d;
}

TEST(DeviceChoice, DepthFlagsFollowTheDisplayDepth) {
  EXPECT_EQ(DepthFlag(1), 0x4000u);
  EXPECT_EQ(DepthFlag(8), 0x800u);
  EXPECT_EQ(DepthFlag(16), 0x400u);
  EXPECT_EQ(DepthFlag(24), 0x200u);
  EXPECT_EQ(DepthFlag(32), 0x100u);
  EXPECT_EQ(DepthFlag(15), 0u);
}

TEST(DeviceChoice, DisplayBelowSixteenBitsIsRefused) {
  EXPECT_FALSE(DisplayDepthAccepted(15));
  EXPECT_TRUE(DisplayDepthAccepted(16));
  EXPECT_TRUE(DisplayDepthAccepted(24));
}

TEST(DeviceChoice, HardwareBeatsSoftwareWhateverTheColourModel) {
  const DeviceList list = ChooseDevices({Software("soft rgb", kColourModelRgb), Hardware("hard mono", kColourModelMono)}, 24);
  ASSERT_EQ(list.names.size(), 2u);
  EXPECT_EQ(list.names[static_cast<size_t>(list.chosen)], "hard mono");
}

TEST(DeviceChoice, RgbHardwareReplacesMonoHardwareButNotTheReverse) {
  DeviceList list = ChooseDevices({Hardware("mono", kColourModelMono), Hardware("rgb", kColourModelRgb)}, 16);
  EXPECT_EQ(list.chosen, 1);
  list = ChooseDevices({Hardware("rgb", kColourModelRgb), Hardware("mono", kColourModelMono)}, 16);
  EXPECT_EQ(list.chosen, 0);
}

TEST(DeviceChoice, RgbSoftwareReplacesMonoSoftwareButNeverHardware) {
  EXPECT_EQ(ChooseDevices({Software("mono", kColourModelMono), Software("rgb", kColourModelRgb)}, 32).chosen, 1);
  EXPECT_EQ(ChooseDevices({Hardware("mono", kColourModelMono), Software("rgb", kColourModelRgb)}, 32).chosen, 0);
}

TEST(DeviceChoice, FirstRgbBitCountsForTheFirstDevice) {
  // Colour model 3 (mono and RGB) is RGB for the first device, so a later RGB hardware
  // device does not replace it.
  EXPECT_EQ(ChooseDevices({Hardware("both", 3), Hardware("rgb", kColourModelRgb)}, 24).chosen, 0);
}

TEST(DeviceChoice, DevicesThatCannotRenderAtTheDisplayDepthAreSkipped) {
  const DeviceList list =
      ChooseDevices({Hardware("only 16", kColourModelRgb, 0x400), Software("any", kColourModelMono)}, 24);
  ASSERT_EQ(list.names.size(), 1u);
  EXPECT_EQ(list.names[0], "any");
  EXPECT_EQ(list.chosen, 0);
  EXPECT_EQ(ChooseDevices({Hardware("x", kColourModelRgb)}, 12).chosen, -1);
  EXPECT_EQ(ChooseDevices({}, 24).chosen, -1);
}

TEST(DeviceChoice, ASixthDeviceIsNeverExamined) {
  std::vector<OfferedDevice> offered;
  for (int i = 0; i < 5; ++i) offered.push_back(Software("soft " + std::to_string(i), kColourModelMono));
  offered.push_back(Hardware("sixth", kColourModelRgb));
  const DeviceList list = ChooseDevices(offered, 24);
  EXPECT_EQ(list.names.size(), 5u);
  EXPECT_EQ(list.chosen, 0);
}

TEST(DeviceChoice, SkippedDevicesDoNotCountTowardsTheFive) {
  std::vector<OfferedDevice> offered;
  offered.push_back(Hardware("wrong depth", kColourModelRgb, 0x800));
  for (int i = 0; i < 4; ++i) offered.push_back(Software("soft", kColourModelMono));
  offered.push_back(Hardware("fifth accepted", kColourModelRgb));
  const DeviceList list = ChooseDevices(offered, 24);
  EXPECT_EQ(list.names.size(), 5u);
  EXPECT_EQ(list.names[static_cast<size_t>(list.chosen)], "fifth accepted");
}

TEST(OpenGLProbe, MesaAndOtherRasterisersAreSoftware) {
  EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(IsSoftwareRenderer("Microsoft GDI Generic"));
  EXPECT_FALSE(IsSoftwareRenderer("NVIDIA GeForce GTX 1060/PCIe/SSE2"));
}

TEST(OpenGLProbe, TheVirtualDisplayOffersOneUsableDevice) {
  const std::vector<OfferedDevice> offered = ProbeOpenGLDevices();
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_FALSE(offered[0].name.empty());
  EXPECT_GE(ChooseDevices(offered, 24).chosen, 0);
}

}  // namespace
}  // namespace q3d
