#pragma once
// Writing a file so that neither a failure nor a hostile folder can harm what is there:
// the bytes go to a temporary created exclusively beside the real destination (never
// through a symbolic link planted at its name), which then replaces the destination
// with the destination's mode and, where allowed, its ownership. A symbolic link at the
// destination stays a link: its target receives the new content. A destination with
// several hard links is written in place once the temporary is complete, so that all its
// names keep sharing the new content.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace q3d {

class TemporaryFile {
 public:
  // Creates the temporary for `destination`; refuses a read-only or non-regular target.
  static Result<TemporaryFile> CreateFor(const std::string& destination);

  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  // Removes the temporary unless it was committed.
  ~TemporaryFile();

  Status Write(std::span<const uint8_t> bytes);
  // Flushes the bytes to disk and renames the temporary over the destination, or copies
  // them into a destination with several hard links.
  Status Commit();

  const std::string& Destination() const { return destination_; }
  const std::string& Path() const { return temporary_; }

 private:
  TemporaryFile() = default;
  void Discard();
  Status ReplaceTarget();
  Status WriteThroughLinks();

  std::string destination_;  // as the user named it, for messages
  std::string target_;       // the real file: symbolic links resolved
  std::string temporary_;
  int fd_ = -1;
};

// Removes the temporaries a killed process left while writing `destination` (their names
// carry the writer's process number; a process still running keeps its own).
void RemoveAbandonedTemporaries(const std::string& destination);

// Writes the bytes through a TemporaryFile: a failure leaves the previous file intact.
Status WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

// Reads a whole regular file.
Status ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// True when both paths exist and name the same file (same device and inode).
bool IsSameFile(const std::string& a, const std::string& b);

// Why a path cannot be opened for reading, in the user's words ("does not exist", "is a
// folder", "cannot be read: Permission denied"); empty when it is a readable regular file.
std::string WhyNotReadableFile(const std::string& path);

}  // namespace q3d
