#include "model/staged_files.h"

namespace q3d {

Status StagedFiles::Stage(const std::string& path, std::span<const uint8_t> bytes) {
  Result<TemporaryFile> file = TemporaryFile::CreateFor(path);
  if (!file) return file.GetStatus();
  if (Status written = file->Write(bytes); !written) return written;
  entries_.push_back(std::move(*file));
  return Status::Ok();
}

Status StagedFiles::Stage(const std::string& path, const std::string& text) {
  return Stage(
      path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Status StagedFiles::Commit() {
  for (TemporaryFile& file : entries_)
    if (Status committed = file.Commit(); !committed) return committed;
  entries_.clear();
  return Status::Ok();
}

}  // namespace q3d
