#include "model/model_file_set.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace q3d {
namespace {

// The model formats name their companions in their header, well within this.
constexpr size_t kReferenceHeadBytes = 1 << 16;

std::string HeadOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(kReferenceHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return head;
}

std::vector<SideFile> NamesOf(const std::string& path, const std::vector<CompanionKind>& kinds,
                              int set) {
  std::vector<SideFile> names;
  for (const CompanionKind& kind : kinds) names.push_back(BesideFile(path, kind.suffixes[set]));
  return names;
}

Status Stage(const std::string& path, std::span<const uint8_t> bytes,
             std::vector<TemporaryFile>& staged) {
  Result<TemporaryFile> file = TemporaryFile::CreateFor(path);
  if (!file) return file.GetStatus();
  if (Status written = file->Write(bytes); !written) return written;
  staged.push_back(std::move(*file));
  return Status::Ok();
}

std::span<const uint8_t> BytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

SideFile BesideFile(const std::string& path, const std::string& suffixAndExtension) {
  const std::filesystem::path p(path);
  // The model file refers to the name on a line of its own (mtllib, map_Kd), where readers
  // split at blanks; and the name must fit the file system however long the model's is.
  std::string stem = p.stem().string();
  for (char& c : stem)
    if (c == ' ' || c == '\t') c = '_';
  constexpr size_t kNameMax = 255;
  if (stem.size() + suffixAndExtension.size() > kNameMax)
    stem.resize(kNameMax > suffixAndExtension.size() ? kNameMax - suffixAndExtension.size() : 0);
  const std::string name = stem + suffixAndExtension;
  return {(p.parent_path() / name).string(), name};
}

std::vector<std::string> ModelFileSetPaths(const std::string& path,
                                           const std::vector<CompanionKind>& companions) {
  std::vector<std::string> paths = {path};
  for (const CompanionKind& kind : companions)
    for (const char* suffix : kind.suffixes) paths.push_back(BesideFile(path, suffix).path);
  return paths;
}

ModelFileSet::ModelFileSet(std::string path) : path_(std::move(path)) {}

ModelFileSet::ModelFileSet(std::string path, std::vector<CompanionKind> companions, size_t named,
                           ReferenceText reference)
    : path_(std::move(path)), reference_(reference), named_(named) {
  const std::vector<SideFile> first = NamesOf(path_, companions, 0);
  const std::vector<SideFile> second = NamesOf(path_, companions, 1);
  if (ModelNames(second[named_].name)) {
    newNames_ = first;
    oldNames_ = second;
  } else {
    newNames_ = ModelNames(first[named_].name) ? second : first;
    if (newNames_.front().path != first.front().path) oldNames_ = first;
  }
  for (const std::string& file : ModelFileSetPaths(path_, companions))
    RemoveAbandonedTemporaries(file);
}

bool ModelFileSet::ModelNames(const std::string& companionName) const {
  return HeadOf(path_).find(reference_(companionName)) != std::string::npos;
}

Status ModelFileSet::StageCompanion(size_t i, std::span<const uint8_t> bytes) {
  // The new name is named by no model file: whatever is there (a stale companion, a link)
  // is replaced, never written through.
  ::unlink(newNames_[i].path.c_str());
  return Stage(newNames_[i].path, bytes, companions_);
}

Status ModelFileSet::StageCompanion(size_t i, const std::string& text) {
  return StageCompanion(i, BytesOf(text));
}

Status ModelFileSet::StageModel(std::span<const uint8_t> bytes) {
  return Stage(path_, bytes, model_);
}

Status ModelFileSet::StageModel(const std::string& text) { return StageModel(BytesOf(text)); }

Status ModelFileSet::Commit() {
  Status result = Status::Ok();
  for (TemporaryFile& file : companions_)
    if (result) result = file.Commit();
  if (result)
    for (TemporaryFile& file : model_) result = file.Commit();
  // A model file that was not replaced still names the old companions: the new ones go.
  const bool replaced = result || (reference_ && ModelNames(newNames_[named_].name));
  for (const SideFile& unused : replaced ? oldNames_ : newNames_) ::unlink(unused.path.c_str());
  companions_.clear();
  model_.clear();
  return result;
}

}  // namespace q3d
