// libFuzzer target: any byte sequence handed to the project reader must load or be
// refused cleanly; a loaded document must be writable again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/archive.h"
#include "base/error_stack.h"
#include "project/project_doc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  q3d::CProjectDoc doc;
  const std::vector<uint8_t> bytes(data, data + size);
  if (doc.LoadProjectBytes(bytes)) {
    q3d::Archive ar = q3d::Archive::ForStoring();
    doc.Serialize(ar);
  }
  q3d::ClearErrors();
  return 0;
}
