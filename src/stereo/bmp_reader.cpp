#include "stereo/bmp_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "stereo/image_header.h"

namespace q3d {
namespace {

// Windows bitmap layout: a 14-byte file header, then an info header whose first field is
// its own size. Colour masks of BI_BITFIELDS files sit right after the first 40 bytes of
// the info header, whether they belong to a larger header (V2 to V5) or follow a plain one.
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kMasksOffset = kFileHeaderSize + kInfoHeaderSize;
constexpr size_t kMasksSize = 12;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

struct BmpHeader {
  uint32_t pixelOffset = 0;
  uint32_t infoSize = 0;
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top-down
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  std::array<uint32_t, 3> masks{};  // red, green, blue (read for BI_BITFIELDS only)
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool IsSupportedInfoSize(uint32_t size) {
  // BITMAPINFOHEADER, the V2 and V3 info headers, BITMAPV4HEADER, BITMAPV5HEADER.
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Parses the file and info headers. False when the bytes are not a bitmap header this
// reader understands (the masks are checked later, once the pixel depth is known).
bool ParseBmpHeader(std::span<const uint8_t> b, BmpHeader& header) {
  if (b.size() < kFileHeaderSize + 4 || b[0] != 'B' || b[1] != 'M') return false;
  header.pixelOffset = Le32(&b[10]);
  header.infoSize = Le32(&b[14]);
  if (!IsSupportedInfoSize(header.infoSize) || b.size() < kFileHeaderSize + kInfoHeaderSize)
    return false;
  header.width = static_cast<int32_t>(Le32(&b[18]));
  header.height = static_cast<int32_t>(Le32(&b[22]));
  header.bitCount = Le16(&b[28]);
  header.compression = Le32(&b[30]);
  if (header.compression == kBiBitfields && b.size() >= kMasksOffset + kMasksSize) {
    for (size_t i = 0; i < 3; ++i) header.masks[i] = Le32(&b[kMasksOffset + 4 * i]);
  }
  return true;
}

// One colour field of a packed pixel, scaled to the full 0..255 range.
struct ChannelMask {
  uint32_t mask = 0;
  int shift = 0;
  uint64_t maximum = 0;  // field value that maps to 255

  uint8_t Expand(uint32_t pixel) const {
    const uint64_t value = (pixel & mask) >> shift;
    return static_cast<uint8_t>((value * 255 + maximum / 2) / maximum);
  }
};

bool MakeChannelMask(uint32_t mask, int bitCount, ChannelMask& out) {
  if (mask == 0) return false;
  if (bitCount < 32 && (mask >> bitCount) != 0) return false;
  const int shift = std::countr_zero(mask);
  const uint32_t field = mask >> shift;
  if ((field & (field + 1)) != 0) return false;  // the bits must be contiguous
  out = {mask, shift, field};
  return true;
}

// Row converters: packed pixels of one file row to BGR bytes.
void Convert24(const uint8_t* src, uint8_t* dst, int width) {
  std::memcpy(dst, src, static_cast<size_t>(width) * 3);
}

void Convert32(const uint8_t* src, uint8_t* dst, int width) {
  for (int x = 0; x < width; ++x, src += 4, dst += 3) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
  }
}

void ConvertMasked(const uint8_t* src, uint8_t* dst, int width, int bytesPerPixel,
                   const std::array<ChannelMask, 3>& rgb) {
  for (int x = 0; x < width; ++x, src += bytesPerPixel, dst += 3) {
    const uint32_t pixel = bytesPerPixel == 2 ? Le16(src) : Le32(src);
    dst[0] = rgb[2].Expand(pixel);
    dst[1] = rgb[1].Expand(pixel);
    dst[2] = rgb[0].Expand(pixel);
  }
}

Status Refused(const std::string& what, const std::string& shownName) {
  return Status::Fail(what + " " + shownName + ".");
}

}  // namespace

int BmpBitsPerPixel(std::span<const uint8_t> head) {
  BmpHeader header;
  return ParseBmpHeader(head, header) ? header.bitCount : 0;
}

Status DecodeBmp(std::span<const uint8_t> file, Image& image, const std::string& shownName) {
  BmpHeader header;
  if (!ParseBmpHeader(file, header))
    return Refused("This program cannot read the bitmap header format of", shownName);
  if (header.bitCount <= 8) return Status::Fail(kLowDepthMessage, 0, 1);
  if (header.bitCount != 16 && header.bitCount != 24 && header.bitCount != 32)
    return Refused("This program cannot read the pixel depth of", shownName);
  const bool bitfields = header.compression == kBiBitfields;
  if (!(header.compression == kBiRgb || (bitfields && header.bitCount != 24)))
    return Refused("This program cannot read the compression of", shownName);

  std::array<ChannelMask, 3> rgb{};
  const bool packed = header.bitCount == 16 || bitfields;
  if (packed) {
    // 16 bits without masks are 5-5-5.
    const std::array<uint32_t, 3> masks =
        bitfields ? header.masks : std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F};
    for (size_t i = 0; i < 3; ++i) {
      if (!MakeChannelMask(masks[i], header.bitCount, rgb[i]))
        return Refused("Invalid colour masks in", shownName);
    }
  }

  if (header.width <= 0 || header.height == 0 ||
      header.height == std::numeric_limits<int32_t>::min())
    return Refused("Invalid image size in", shownName);
  const int width = header.width;
  const int height = header.height < 0 ? -header.height : header.height;
  const bool topDown = header.height < 0;

  // Every row but the last must be complete with its padding to 4 bytes.
  const uint64_t fileSize = file.size();
  const uint64_t rowBytes = (static_cast<uint64_t>(width) * header.bitCount + 7) / 8;
  const uint64_t stride = (static_cast<uint64_t>(width) * header.bitCount + 31) / 32 * 4;
  const uint64_t headersEnd = kFileHeaderSize + header.infoSize +
                              (bitfields && header.infoSize == kInfoHeaderSize ? kMasksSize : 0);
  if (header.pixelOffset < headersEnd || header.pixelOffset > fileSize ||
      rowBytes > fileSize - header.pixelOffset ||
      static_cast<uint64_t>(height - 1) > (fileSize - header.pixelOffset - rowBytes) / stride)
    return Refused("The bitmap is truncated or damaged:", shownName);
  if (static_cast<int64_t>(width) * height > kMaxImagePixels)
    return Refused("The image is too large:", shownName);

  Image loaded;
  if (!CreateColorImage(loaded, width, height)) return OutOfMemory();
  const int bytesPerPixel = header.bitCount / 8;
  for (int r = 0; r < height; ++r) {
    const uint8_t* row = file.data() + header.pixelOffset + static_cast<uint64_t>(r) * stride;
    uint8_t* dst = loaded.Row(topDown ? r : height - 1 - r);
    if (packed)
      ConvertMasked(row, dst, width, bytesPerPixel, rgb);
    else if (header.bitCount == 24)
      Convert24(row, dst, width);
    else
      Convert32(row, dst, width);
  }
  image = std::move(loaded);
  return Status::Ok();
}

}  // namespace q3d
