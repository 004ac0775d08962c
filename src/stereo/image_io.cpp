#include "stereo/image_io.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "base/error_stack.h"
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
constexpr size_t kLargestInfoHeader = 124;  // BITMAPV5HEADER
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

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

Status FileError(const std::string& what, const std::string& path) {
  return Status::Fail(what + " " + Quoted(path) + ".");
}

// Reads up to the first bytes of the file that hold every header we understand.
struct FilePrefix {
  std::vector<uint8_t> bytes;
  uint64_t fileSize = 0;
};

bool ReadPrefix(std::ifstream& in, FilePrefix& prefix) {
  in.seekg(0, std::ios::end);
  const std::streamoff end = in.tellg();
  if (end < 0) return false;
  prefix.fileSize = static_cast<uint64_t>(end);
  in.seekg(0, std::ios::beg);
  const size_t wanted = kMasksOffset + std::max(kLargestInfoHeader - kInfoHeaderSize, kMasksSize);
  prefix.bytes.resize(static_cast<size_t>(std::min<uint64_t>(prefix.fileSize, wanted)));
  in.read(reinterpret_cast<char*>(prefix.bytes.data()),
          static_cast<std::streamsize>(prefix.bytes.size()));
  return static_cast<size_t>(in.gcount()) == prefix.bytes.size();
}

bool HasBmpMagic(const FilePrefix& prefix) {
  return prefix.bytes.size() >= 2 && prefix.bytes[0] == 'B' && prefix.bytes[1] == 'M';
}

// Parses the file and info headers. False when the bytes are not a bitmap header this
// loader understands (the masks are checked later, once the pixel depth is known).
bool ParseBmpHeader(const FilePrefix& prefix, BmpHeader& header) {
  const std::vector<uint8_t>& b = prefix.bytes;
  if (!HasBmpMagic(prefix) || b.size() < kFileHeaderSize + 4) return false;
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

bool FitsColorImage(int64_t width, int64_t height) {
  const size_t step = Image::ComputeRowStep(width, 3, 8, 8);
  return step != 0 && height > 0 && static_cast<uint64_t>(height) <= kMaxImageBytes / step;
}

Status LoadBmp(std::ifstream& in, const FilePrefix& prefix, Image& image, const std::string& path) {
  BmpHeader header;
  if (!ParseBmpHeader(prefix, header))
    return FileError("This program cannot read the bitmap header format of", path);
  if (header.bitCount <= 8) return Status::Fail(kLowDepthMessage, 0, 1);
  if (header.bitCount != 16 && header.bitCount != 24 && header.bitCount != 32)
    return FileError("This program cannot read the pixel depth of", path);
  const bool bitfields = header.compression == kBiBitfields;
  if (!(header.compression == kBiRgb || (bitfields && header.bitCount != 24)))
    return FileError("This program cannot read the compression of", path);

  std::array<ChannelMask, 3> rgb{};
  const bool packed = header.bitCount == 16 || bitfields;
  if (packed) {
    // 16 bits without masks are 5-5-5.
    const std::array<uint32_t, 3> masks =
        bitfields ? header.masks : std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F};
    for (size_t i = 0; i < 3; ++i) {
      if (!MakeChannelMask(masks[i], header.bitCount, rgb[i]))
        return FileError("Invalid colour masks in", path);
    }
  }

  if (header.width <= 0 || header.height == 0 ||
      header.height == std::numeric_limits<int32_t>::min())
    return FileError("Invalid image size in", path);
  const int width = header.width;
  const int height = header.height < 0 ? -header.height : header.height;
  const bool topDown = header.height < 0;

  // Every row but the last must be complete with its padding to 4 bytes.
  const uint64_t rowBytes = (static_cast<uint64_t>(width) * header.bitCount + 7) / 8;
  const uint64_t stride = (static_cast<uint64_t>(width) * header.bitCount + 31) / 32 * 4;
  const uint64_t headersEnd = kFileHeaderSize + header.infoSize +
                              (bitfields && header.infoSize == kInfoHeaderSize ? kMasksSize : 0);
  if (header.pixelOffset < headersEnd || header.pixelOffset > prefix.fileSize ||
      rowBytes > prefix.fileSize - header.pixelOffset ||
      static_cast<uint64_t>(height - 1) >
          (prefix.fileSize - header.pixelOffset - rowBytes) / stride)
    return FileError("The bitmap is truncated or damaged:", path);
  if (!FitsColorImage(width, height)) return FileError("The image is too large:", path);

  Image loaded;
  if (!CreateColorImage(loaded, width, height)) return OutOfMemory();
  std::vector<uint8_t> row(static_cast<size_t>(stride));
  in.clear();
  in.seekg(static_cast<std::streamoff>(header.pixelOffset), std::ios::beg);
  const int bytesPerPixel = header.bitCount / 8;
  for (int r = 0; r < height; ++r) {
    const uint64_t length = r + 1 < height ? stride : rowBytes;
    in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(length));
    if (static_cast<uint64_t>(in.gcount()) != length)
      return FileError("The bitmap is truncated or damaged:", path);
    uint8_t* dst = loaded.Row(topDown ? r : height - 1 - r);
    if (packed)
      ConvertMasked(row.data(), dst, width, bytesPerPixel, rgb);
    else if (header.bitCount == 24)
      Convert24(row.data(), dst, width);
    else
      Convert32(row.data(), dst, width);
  }
  image = std::move(loaded);
  return Status::Ok();
}

// PNG, JPEG, TIFF and the other formats of the codec library.
Status LoadWithCodec(Image& image, const std::string& path) {
  // The declared size first: the codec would allocate for it before any check of ours.
  if (const auto declared = DeclaredImageSize(path);
      declared && declared->width > 0 && declared->height > 0 &&
      !FitsColorImage(declared->width, declared->height))
    return FileError("The image is too large:", path);
  cv::Mat decoded;
  try {
    decoded = cv::imread(path, cv::IMREAD_COLOR);
  } catch (const cv::Exception&) {
    decoded.release();
  }
  if (decoded.empty() || decoded.type() != CV_8UC3)
    return FileError("This program cannot read the image file", path);
  if (!FitsColorImage(decoded.cols, decoded.rows))
    return FileError("The image is too large:", path);
  Image loaded;
  if (!CreateColorImage(loaded, decoded.cols, decoded.rows)) return OutOfMemory();
  cv::Mat destination = loaded.Mat();
  decoded.copyTo(destination);
  image = std::move(loaded);
  return Status::Ok();
}

}  // namespace

Status LoadBitmapImage(Image& image, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FilePrefix prefix;
  if (!in || !ReadPrefix(in, prefix)) return FileError("Cannot open the image file", path);
  if (HasBmpMagic(prefix)) return LoadBmp(in, prefix, image, path);
  in.close();
  return LoadWithCodec(image, path);
}

int BitmapBitsPerPixel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FilePrefix prefix;
  BmpHeader header;
  if (!in || !ReadPrefix(in, prefix) || !ParseBmpHeader(prefix, header)) return 0;
  return header.bitCount;
}

}  // namespace q3d
