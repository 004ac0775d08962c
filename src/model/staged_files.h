#pragma once
// A group of files written all or nothing: each is first written to a temporary beside its
// destination; Commit renames them into place. Temporaries not committed are removed, so a
// failing export never leaves a half-written file.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace q3d {

class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  // Writes the bytes to a temporary for `path`. Returns an empty string on success,
  // otherwise a message naming the file.
  Status Stage(const std::string& path, std::span<const uint8_t> bytes);
  Status Stage(const std::string& path, const std::string& text);
  // Renames every staged temporary to its destination, in staging order.
  Status Commit();

 private:
  struct Entry {
    std::string temporary;
    std::string destination;
  };
  std::vector<Entry> entries_;
};

}  // namespace q3d
