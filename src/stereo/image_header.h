#pragma once
// The pixel size a PNG or JPEG file declares, read from its header without decoding, so
// that a hostile size is refused before the codec allocates for it.
#include <optional>
#include <string>

namespace q3d {

struct DeclaredSize {
  long long width = 0;
  long long height = 0;
};

// Nothing for other formats, and for headers that cannot be read (the codec then decides).
std::optional<DeclaredSize> DeclaredImageSize(const std::string& path);

}  // namespace q3d
