// libFuzzer target: any byte sequence handed to the project reader must load or be
// refused with a short message of printable lines; a loaded document must be written
// again as a file the reader takes back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/printable_text.h"
#include "project/project_doc.h"

namespace {

// The reader's messages are a headline and the reason, each a printable line.
bool IsPrintableMessage(const std::string& message) {
  if (message.empty() || message.size() > 1000) return false;
  size_t start = 0;
  for (int line = 0; line < 2; ++line) {
    const size_t end = message.find('\n', start);
    const std::string text = message.substr(start, end - start);
    if (q3d::PrintableText(text, text.size() + 1) != text) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  q3d::CProjectDoc doc;
  const std::vector<uint8_t> bytes(data, data + size);
  const q3d::Status loaded = doc.LoadProjectBytes(bytes);
  if (loaded) {
    q3d::Archive ar = q3d::Archive::ForStoring();
    doc.Serialize(ar);
    q3d::CProjectDoc again;
    if (const q3d::Status reloaded = again.LoadProjectBytes(ar.Buffer()); !reloaded) {
      std::fprintf(stderr, "written file refused: %s\n", reloaded.Reason().c_str());
      std::abort();
    }
  } else if (!IsPrintableMessage(loaded.Reason())) {
    std::fprintf(stderr, "bad message: %s\n", loaded.Reason().c_str());
    std::abort();
  }
  q3d::ClearErrors();
  return 0;
}
