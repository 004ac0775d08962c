#pragma once
// Choosing the 3D device at start-up from the devices the system offers: those that can
// render at the display depth are accepted (five at most) and one is preferred:
// hardware over software, RGB over mono.
#include <cstdint>
#include <string>
#include <vector>

namespace q3d {

constexpr uint32_t kColourModelMono = 1;
constexpr uint32_t kColourModelRgb = 2;

struct DeviceDescription {
  uint32_t colourModel = 0;   // 0: this description does not exist
  uint32_t renderDepths = 0;  // set of depth flags (DepthFlag)
};

struct OfferedDevice {
  std::string name;
  DeviceDescription hardware;
  DeviceDescription software;
};

struct DeviceList {
  static constexpr int kMaxDevices = 5;
  std::vector<std::string> names;  // accepted devices, in the order offered
  int chosen = -1;                 // index into names; -1 when none was accepted
};

// The depth flag of a display depth in bits per pixel (1, 2, 4, 8, 16, 24, 32), else 0.
uint32_t DepthFlag(int bitsPerPixel);

// Walks the offered devices in order and stops after the fifth accepted one.
DeviceList ChooseDevices(const std::vector<OfferedDevice>& offered, int displayBitsPerPixel);

// The display check of start-up: 16 bits per pixel or more.
bool DisplayDepthAccepted(int bitsPerPixel);

}  // namespace q3d
