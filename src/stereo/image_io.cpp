#include "stereo/image_io.h"

#include <sys/stat.h>

#include <array>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string_view>
#include <vector>

#include "base/file_output.h"
#include "base/printable_text.h"
#include "base/stderr_capture.h"
#include "stereo/bmp_reader.h"
#include "stereo/image_header.h"
#include "stereo/jpeg_check.h"

namespace q3d {
namespace {

// A compressed photograph of the largest size we load fits well within this.
constexpr int64_t kMaxImageFileBytes = int64_t{1} << 30;

// Codec lines about metadata we ignore (colour profiles, text chunks, unknown TIFF tags);
// any other line means the pixels are not what the file meant.
bool IsHarmlessCodecLine(std::string_view line) {
  static constexpr std::array<std::string_view, 10> kHarmless = {"iCCP",
                                                                 "sRGB",
                                                                 "cHRM",
                                                                 "gAMA",
                                                                 "eXIf",
                                                                 "tEXt",
                                                                 "zTXt",
                                                                 "iTXt",
                                                                 "Unknown field with tag",
                                                                 "ASCII value for tag"};
  for (std::string_view mark : kHarmless)
    if (line.find(mark) != std::string_view::npos) return true;
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// The first line of the codec's output that reports damaged data; empty when none does.
std::string DataWarning(std::string_view chatter) {
  while (!chatter.empty()) {
    const size_t end = chatter.find('\n');
    const std::string_view line = chatter.substr(0, end);
    if (!IsHarmlessCodecLine(line)) return PrintableText(line);
    if (end == std::string_view::npos) break;
    chatter.remove_prefix(end + 1);
  }
  return {};
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// PNG, JPEG and TIFF through the codec library, its messages kept out of the terminal.
Status DecodeWithCodec(std::span<const uint8_t> bytes, const DeclaredImage& declared, Image& image,
                       const std::string& shown) {
  cv::Mat decoded;
  std::string chatter;
  {
    StderrCapture capture;
    try {
      const cv::Mat encoded(1, static_cast<int>(bytes.size()), CV_8U,
                            const_cast<uint8_t*>(bytes.data()));
      decoded = cv::imdecode(encoded, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
      decoded.release();
    }
    chatter = capture.Finish();
  }
  const std::string warning = DataWarning(chatter);
  if (decoded.empty() || decoded.type() != CV_8UC3)
    return Status::Fail("The image " + shown + " is damaged or in a form this program cannot read" +
                        (warning.empty() ? "." : ": " + warning));
  if (!warning.empty()) return Status::Fail("The image " + shown + " is damaged: " + warning);
  // The orientation tag of a photograph may turn it by a quarter.
  const bool asDeclared = decoded.cols == declared.width && decoded.rows == declared.height;
  const bool turned = decoded.cols == declared.height && decoded.rows == declared.width;
  if (!asDeclared && !turned)
    return Status::Fail("The image " + shown + " is damaged: its header declares " +
                        SizeText(declared.width, declared.height) + ", its data hold " +
                        SizeText(decoded.cols, decoded.rows) + ".");
  Image loaded;
  if (!CreateColorImage(loaded, decoded.cols, decoded.rows)) return OutOfMemory();
  cv::Mat destination = loaded.Mat();
  decoded.copyTo(destination);
  image = std::move(loaded);
  return Status::Ok();
}

}  // namespace

Status DecodeImageFile(std::span<const uint8_t> bytes, Image& image, const std::string& shown) {
  const DeclaredImage declared = ReadImageHeader(bytes);
  if (declared.format == ImageFormat::kUnknown)
    return Status::Fail("The file " + shown +
                        " is not an image this program reads (BMP, PNG, JPEG or TIFF).");
  if (declared.floatSamples)
    return Status::Fail("The image " + shown +
                        " holds floating-point or 32-bit samples (as OpenEXR and some TIFF "
                        "files do), which this program cannot show faithfully.");
  if (declared.format == ImageFormat::kBmp) return DecodeBmp(bytes, image, shown);
  if (declared.width <= 0 || declared.height <= 0)
    return Status::Fail("The image " + shown + " is damaged: its header gives no size.");
  // A TIFF declares each side in 32 bits: their product may overflow before it is compared.
  if (declared.width > kMaxImagePixels || declared.height > kMaxImagePixels ||
      declared.width * declared.height > kMaxImagePixels)
    return Status::Fail("The image is too large: " + shown + " declares " +
                        SizeText(declared.width, declared.height) + ", more than " +
                        std::to_string(kMaxImagePixels >> 20) + " megapixels.");
  if (declared.format == ImageFormat::kJpeg) {
    if (const std::string problem = JpegDataProblem(bytes); !problem.empty())
      return Status::Fail("The image " + shown + " is damaged: " + PrintableText(problem));
  }
  return DecodeWithCodec(bytes, declared, image, shown);
}

Status LoadBitmapImage(Image& image, const std::string& path) {
  const std::string shown = QuotedText(path);
  if (const std::string why = WhyNotReadableFile(path); !why.empty())
    return Status::Fail("Cannot open the image " + shown + ": " + why + ".");
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && st.st_size > kMaxImageFileBytes)
    return Status::Fail("The image is too large: " + shown + " holds more than 1 GB.");
  std::vector<uint8_t> bytes;
  if (Status read = ReadWholeFile(path, bytes); !read) return read;
  return DecodeImageFile(bytes, image, shown);
}

int BitmapBitsPerPixel(const std::string& path) {
  if (!WhyNotReadableFile(path).empty()) return 0;
  std::ifstream in(path, std::ios::binary);
  std::array<uint8_t, kBmpHeadBytes> head{};
  in.read(reinterpret_cast<char*>(head.data()), head.size());
  return BmpBitsPerPixel(std::span<const uint8_t>(head.data(), static_cast<size_t>(in.gcount())));
}

}  // namespace q3d
