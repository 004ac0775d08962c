#pragma once
// Little-endian binary archive reproducing the object encoding of our project files:
// counts, class tags and one object numbering per file. The same Serialize routine
// reads or writes depending on the archive's direction.
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/result.h"

namespace q3d {

// A file that ends early, an unknown class, a schema other than 0, a count the file
// cannot hold. Caught by the document, which reports it and empties itself.
class ArchiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Archive {
 public:
  // A storing archive appends to its own buffer.
  static Archive ForStoring();
  // A loading archive reads from the given bytes (kept alive by the caller).
  static Archive ForLoading(const uint8_t* data, size_t size);

  bool IsStoring() const { return storing_; }
  bool IsLoading() const { return !storing_; }

  // Storing.
  void WriteInt32(int32_t v) { WriteRaw(&v, 4); }
  void WriteUInt32(uint32_t v) { WriteRaw(&v, 4); }
  void WriteUInt16(uint16_t v) { WriteRaw(&v, 2); }
  void WriteDouble(double v) { WriteRaw(&v, 8); }
  void WriteBytes(const void* data, size_t size) { WriteRaw(data, size); }
  void WriteCount(size_t count);
  // Tag of the next object of the class: the full class record the first time, then a
  // short reference to the class number.
  void WriteObjectTag(const std::string& className);
  const std::vector<uint8_t>& Buffer() const { return buffer_; }
  std::vector<uint8_t> TakeBuffer() { return std::move(buffer_); }

  // Loading.
  int32_t ReadInt32();
  uint32_t ReadUInt32();
  uint16_t ReadUInt16();
  double ReadDouble();
  void ReadBytes(void* out, size_t size);
  // A list count; throws when the file cannot hold that many entries of minEntryBytes.
  size_t ReadCount(size_t minEntryBytes);
  // Reads an object tag and returns its class name; an empty name for a null entry.
  // Back references are refused: our files never store an object twice.
  std::string ReadObjectTag();
  size_t Remaining() const { return size_ - pos_; }
  // Whether the bytes ahead begin with these, without reading them: optional records
  // after a file's fixed blocks are recognised by their tag.
  bool NextBytesAre(const void* bytes, size_t size) const;
  size_t Position() const { return storing_ ? buffer_.size() : pos_; }

 private:
  Archive() = default;
  void WriteRaw(const void* data, size_t size);
  void Need(size_t size) const;
  uint32_t NextObjectNumber();

  bool storing_ = true;
  std::vector<uint8_t> buffer_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  uint32_t object_count_ = 0;  // numbers given so far, classes and objects alike
  std::map<std::string, uint32_t> class_numbers_;
  std::map<uint32_t, std::string> class_names_;
};

}  // namespace q3d
