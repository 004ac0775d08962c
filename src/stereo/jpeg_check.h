#pragma once
// The codec library decodes a truncated or damaged JPEG without a word, filling what is
// missing with grey. This check runs the entropy decoding of libjpeg over the whole file
// and takes any warning about the data (premature end, corrupt data) as a refusal.
#include <cstdint>
#include <span>
#include <string>

namespace q3d {

// Empty when the data decode cleanly; otherwise libjpeg's reason.
std::string JpegDataProblem(std::span<const uint8_t> file);

}  // namespace q3d
