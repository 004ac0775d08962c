#pragma once
// How the 3D view draws its mesh. The values are bit fields that combine into one
// quality word: shade | fill | light.
namespace q3d {

constexpr int kShadeFlat = 0;
constexpr int kShadeGouraud = 1;
constexpr int kLightOff = 0;
constexpr int kLightOn = 8;
constexpr int kFillPoints = 0;
constexpr int kFillWireframe = 64;
constexpr int kFillSolid = 128;
constexpr int kTextureNearest = 0;
constexpr int kTextureLinear = 1;

constexpr int kShadeMask = 7;
constexpr int kLightMask = 56;
constexpr int kFillMask = 448;

enum class ShadeMode { Flat, Gouraud };
enum class FillMode { Points, Wireframe, Solid };

struct RenderQuality {
  ShadeMode shade = ShadeMode::Gouraud;
  FillMode fill = FillMode::Solid;
  bool lighting = true;
  bool linearFilter = false;

  // Unknown field values fall back to the defaults (Gouraud, solid, lit).
  static RenderQuality FromBits(int quality, int textureQuality) {
    RenderQuality q;
    q.shade = (quality & kShadeMask) == kShadeFlat ? ShadeMode::Flat : ShadeMode::Gouraud;
    q.lighting = (quality & kLightMask) != kLightOff;
    switch (quality & kFillMask) {
      case kFillPoints:
        q.fill = FillMode::Points;
        break;
      case kFillWireframe:
        q.fill = FillMode::Wireframe;
        break;
      default:
        q.fill = FillMode::Solid;
        break;
    }
    q.linearFilter = textureQuality == kTextureLinear;
    return q;
  }
};

}  // namespace q3d
