#pragma once
// A group of files written all or nothing: each is first written to a temporary created
// exclusively beside its destination; Commit renames them into place. Temporaries not
// committed are removed, so a failing export never leaves a half-written file.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/file_output.h"
#include "base/result.h"

namespace q3d {

class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Writes the bytes to a temporary for `path`; the message names the file on failure.
  Status Stage(const std::string& path, std::span<const uint8_t> bytes);
  Status Stage(const std::string& path, const std::string& text);
  // Renames every staged temporary to its destination, in staging order.
  Status Commit();

 private:
  std::vector<TemporaryFile> entries_;
};

}  // namespace q3d
