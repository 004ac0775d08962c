#include "stereo/image_record.h"

#include <array>

namespace q3d {

void WriteImage(Archive& ar, const Image& image) {
  ar.WriteInt32(image.Channels());
  ar.WriteInt32(image.AlphaChannel());
  ar.WriteInt32(image.Depth());
  ar.WriteBytes(image.ColorModel().data(), 4);
  ar.WriteBytes(image.ChannelSeq().data(), 4);
  ar.WriteInt32(image.Align());
  ar.WriteInt32(image.Width());
  ar.WriteInt32(image.Height());
  ar.WriteInt32(image.HasData() ? 1 : 0);
  if (image.HasData()) ar.WriteBytes(image.Data(), image.RowStep() * static_cast<size_t>(image.Height()));
}

void ReadImage(Archive& ar, Image& image) {
  const int32_t channels = ar.ReadInt32();
  const int32_t alpha = ar.ReadInt32();
  const int32_t depth = ar.ReadInt32();
  std::array<char, 4> model{}, seq{};
  ar.ReadBytes(model.data(), 4);
  ar.ReadBytes(seq.data(), 4);
  const int32_t align = ar.ReadInt32();
  const int32_t width = ar.ReadInt32();
  const int32_t height = ar.ReadInt32();
  const int32_t hasPixels = ar.ReadInt32();

  image.SetHeader(channels, alpha, depth, model, seq, align, width, height);
  if (hasPixels == 0) return;
  // Every image this system stores is 8-bit BGR with rows aligned to a power of two.
  const bool layoutKnown = hasPixels == 1 && channels == 3 && depth == 8 && align > 0 &&
                           align <= 64 && (align & (align - 1)) == 0 && width > 0 && height > 0;
  if (!layoutKnown) throw ArchiveError("The file holds an image in a layout this program never writes.");
  const size_t bytes = image.RowStep() * static_cast<size_t>(height);
  if (image.RowStep() == 0 || image.RowStep() > ar.Remaining() / static_cast<size_t>(height))
    throw ArchiveError("The file ends inside an image.");
  if (!image.AllocatePixels()) throw ArchiveError("Not enough memory for an image of the file.");
  ar.ReadBytes(image.Data(), bytes);
}

}  // namespace q3d
