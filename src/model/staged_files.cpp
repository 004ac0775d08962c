#include "model/staged_files.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace q3d {
namespace {

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace

StagedFiles::~StagedFiles() {
  for (const Entry& e : entries_) {
    std::error_code ignored;
    std::filesystem::remove(e.temporary, ignored);
  }
}

Status StagedFiles::Stage(const std::string& path, std::span<const uint8_t> bytes) {
  Entry entry{TemporaryName(path), path};
  std::ofstream out(entry.temporary, std::ios::binary | std::ios::trunc);
  if (!out) {
    return Status::Fail("Cannot create \"" + path + "\": " + std::strerror(errno) + ".");
  }
  entries_.push_back(entry);  // removed again if anything below fails
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return Status::Fail("Cannot write \"" + path + "\" (disk full?).");
  return Status::Ok();
}

Status StagedFiles::Stage(const std::string& path, const std::string& text) {
  return Stage(
      path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Status StagedFiles::Commit() {
  while (!entries_.empty()) {
    const Entry& e = entries_.front();
    std::error_code error;
    std::filesystem::rename(e.temporary, e.destination, error);
    if (error)
      return Status::Fail("Cannot write \"" + e.destination + "\": " + error.message() + ".");
    entries_.erase(entries_.begin());
  }
  return Status::Ok();
}

}  // namespace q3d
