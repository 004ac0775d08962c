#pragma once
// A model file and the companions it names (its material, its texture), replaced so that the
// files on disk form a matching set whatever fails, even when the process is killed. The
// companions are written first, under names the model file on disk does not use (the names
// alternate between two sets); the model file is replaced last; only then are the companions
// it named before removed. Each file is first written to a temporary beside it, so a failure
// leaves the previous set as it was.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/file_output.h"
#include "base/result.h"

namespace q3d {

// The two names a kind of companion alternates between, as suffixes of the model's stem.
struct CompanionKind {
  const char* suffixes[2];
};
inline constexpr CompanionKind kTextureCompanion{{"_texture.png", "_texture2.png"}};
inline constexpr CompanionKind kMaterialCompanion{{".mtl", "_material2.mtl"}};

// A file written beside the model file: its full path and its name relative to it.
struct SideFile {
  std::string path;
  std::string name;
};
// Blanks in the stem become underscores; the stem is shortened to fit the name limit.
SideFile BesideFile(const std::string& path, const std::string& suffixAndExtension);

// Every file an export to `path` of a model with these companions may write or remove.
std::vector<std::string> ModelFileSetPaths(const std::string& path,
                                           const std::vector<CompanionKind>& companions);

class ModelFileSet {
 public:
  // How the model file names its companion `named` (a line or a quoted URL of its own).
  using ReferenceText = std::string (*)(const std::string& name);

  // A model file without companions.
  explicit ModelFileSet(std::string path);
  // Chooses the companions' names: the set the model file at `path` does not name.
  ModelFileSet(std::string path, std::vector<CompanionKind> companions, size_t named,
               ReferenceText reference);
  ModelFileSet(const ModelFileSet&) = delete;
  ModelFileSet& operator=(const ModelFileSet&) = delete;

  // The name companion i gets in the new set.
  const SideFile& Companion(size_t i) const { return newNames_[i]; }

  // Writes the bytes to a temporary for companion i or for the model file.
  Status StageCompanion(size_t i, std::span<const uint8_t> bytes);
  Status StageCompanion(size_t i, const std::string& text);
  Status StageModel(std::span<const uint8_t> bytes);
  Status StageModel(const std::string& text);
  // Puts the companions in place, then the model file, then removes the old companions.
  Status Commit();

 private:
  bool ModelNames(const std::string& companionName) const;

  std::string path_;
  ReferenceText reference_ = nullptr;
  size_t named_ = 0;
  std::vector<SideFile> newNames_;
  std::vector<SideFile> oldNames_;  // empty when the model file names none of ours
  std::vector<TemporaryFile> companions_;
  std::vector<TemporaryFile> model_;
};

}  // namespace q3d
