#include "base/archive.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "base/printable_text.h"

static_assert(std::endian::native == std::endian::little,
              "the archive assumes a little-endian host");

namespace q3d {
namespace {
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000u;
constexpr uint16_t kMaxClassNameLength = 64;
}  // namespace

Archive Archive::ForStoring() { return Archive(); }

Archive Archive::ForLoading(const uint8_t* data, size_t size) {
  Archive ar;
  ar.storing_ = false;
  ar.data_ = data;
  ar.size_ = size;
  return ar;
}

void Archive::WriteRaw(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

void Archive::WriteCount(size_t count) {
  if (count < 0xFFFF) {
    WriteUInt16(static_cast<uint16_t>(count));
  } else {
    WriteUInt16(0xFFFF);
    WriteUInt32(static_cast<uint32_t>(count));
  }
}

uint32_t Archive::NextObjectNumber() { return ++object_count_; }

void Archive::WriteObjectTag(const std::string& className) {
  auto it = class_numbers_.find(className);
  if (it == class_numbers_.end()) {
    class_numbers_[className] = NextObjectNumber();
    WriteUInt16(kNewClassTag);
    WriteUInt16(0);  // schema
    WriteUInt16(static_cast<uint16_t>(className.size()));
    WriteRaw(className.data(), className.size());
  } else {
    const uint32_t c = it->second;
    if (c < kBigObjectTag) {
      WriteUInt16(static_cast<uint16_t>(kClassTag | c));
    } else {
      WriteUInt16(kBigObjectTag);
      WriteUInt32(kBigClassTag | c);
    }
  }
  NextObjectNumber();  // the object itself
}

void Archive::Need(size_t size) const {
  if (size > size_ - pos_) throw ArchiveError("The file ends before its end was expected.");
}

int32_t Archive::ReadInt32() {
  int32_t v;
  ReadBytes(&v, 4);
  return v;
}

uint32_t Archive::ReadUInt32() {
  uint32_t v;
  ReadBytes(&v, 4);
  return v;
}

uint16_t Archive::ReadUInt16() {
  uint16_t v;
  ReadBytes(&v, 2);
  return v;
}

double Archive::ReadDouble() {
  double v;
  ReadBytes(&v, 8);
  return v;
}

bool Archive::NextBytesAre(const void* bytes, size_t size) const {
  return !storing_ && Remaining() >= size && std::memcmp(data_ + pos_, bytes, size) == 0;
}

void Archive::ReadBytes(void* out, size_t size) {
  Need(size);
  std::memcpy(out, data_ + pos_, size);
  pos_ += size;
}

size_t Archive::ReadCount(size_t minEntryBytes) {
  size_t count = ReadUInt16();
  if (count == 0xFFFF) count = ReadUInt32();
  if (minEntryBytes > 0 && count > Remaining() / minEntryBytes)
    throw ArchiveError("The file holds a list longer than the file itself.");
  return count;
}

std::string Archive::ReadObjectTag() {
  const uint16_t tag = ReadUInt16();
  if (tag == 0) return {};
  if (tag == kNewClassTag) {
    const uint16_t schema = ReadUInt16();
    const uint16_t length = ReadUInt16();
    if (length == 0 || length > kMaxClassNameLength)
      throw ArchiveError("The file names a class that does not exist.");
    std::string name(length, '\0');
    ReadBytes(name.data(), length);
    if (schema != 0)
      throw ArchiveError("The file holds a class of an unknown version (" + PrintableText(name) +
                         ").");
    const uint32_t number = NextObjectNumber();
    class_numbers_[name] = number;
    class_names_[number] = name;
    NextObjectNumber();
    return name;
  }
  uint32_t classNumber = 0;
  if (tag == kBigObjectTag) {
    const uint32_t big = ReadUInt32();
    if (!(big & kBigClassTag)) throw ArchiveError("The file refers to an object twice.");
    classNumber = big & ~kBigClassTag;
  } else if (tag & kClassTag) {
    classNumber = tag & ~kClassTag;
  } else {
    throw ArchiveError("The file refers to an object twice.");
  }
  auto it = class_names_.find(classNumber);
  if (it == class_names_.end()) throw ArchiveError("The file refers to a class it never defined.");
  NextObjectNumber();
  return it->second;
}

}  // namespace q3d
