#include "app/device_choice.h"

namespace q3d {

uint32_t DepthFlag(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return 0x4000;
    case 2: return 0x2000;
    case 4: return 0x1000;
    case 8: return 0x800;
    case 16: return 0x400;
    case 24: return 0x200;
    case 32: return 0x100;
    default: return 0;
  }
}

bool DisplayDepthAccepted(int bitsPerPixel) { return bitsPerPixel >= 16; }

DeviceList ChooseDevices(const std::vector<OfferedDevice>& offered, int displayBitsPerPixel) {
  DeviceList list;
  const uint32_t depthFlag = DepthFlag(displayBitsPerPixel);
  bool chosenIsHardware = false;
  bool chosenIsRgb = false;
  for (const OfferedDevice& device : offered) {
    const bool hardware = device.hardware.colourModel != 0;
    const DeviceDescription& description = hardware ? device.hardware : device.software;
    if ((description.renderDepths & depthFlag) == 0) continue;

    const int index = static_cast<int>(list.names.size());
    list.names.push_back(device.name);
    const bool rgb = description.colourModel == kColourModelRgb;
    if (list.chosen < 0) {
      list.chosen = index;
      chosenIsHardware = hardware;
      chosenIsRgb = (description.colourModel & kColourModelRgb) != 0;
    } else if (hardware && !chosenIsHardware) {
      list.chosen = index;
      chosenIsHardware = true;
      chosenIsRgb = rgb;
    } else if (hardware && rgb && chosenIsHardware && !chosenIsRgb) {
      list.chosen = index;
      chosenIsRgb = true;
    } else if (!hardware && rgb && !chosenIsHardware && !chosenIsRgb) {
      list.chosen = index;
      chosenIsRgb = true;
    }
    if (static_cast<int>(list.names.size()) == DeviceList::kMaxDevices) break;
  }
  return list;
}

}  // namespace q3d
