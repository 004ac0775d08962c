#include "base/error_stack.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "base/result.h"

namespace q3d {
namespace {

// Refinement threads push records while the main thread reads them: one lock guards all.
struct Stack {
  std::mutex lock;
  std::array<ErrorRecord, kErrorStackSize> records{};
  int newest = -1;
};

Stack& TheStack() {
  static Stack stack;
  return stack;
}

ErrorPresenter& ThePresenter() {
  static ErrorPresenter presenter;
  return presenter;
}

void CopyText(std::array<char, 256>& dst, const std::string& src) {
  std::snprintf(dst.data(), dst.size(), "%s", src.c_str());
}

}  // namespace

ErrorRecord MakeErrorRecord(int32_t code, int32_t severity, const std::string& message) {
  ErrorRecord record;
  record.code = code;
  record.severity = severity;
  CopyText(record.text[0], message);
  return record;
}

void PushError(const ErrorRecord& record) {
  Stack& stack = TheStack();
  std::lock_guard guard(stack.lock);
  if (stack.newest == kErrorStackSize - 1) stack.newest = -1;
  ++stack.newest;
  ErrorRecord copy = record;
  const std::time_t now = std::time(nullptr);
  char buffer[64] = {};
  const char* stamp = ctime_r(&now, buffer);
  std::snprintf(copy.text[1].data(), copy.text[1].size(), "%s", stamp ? stamp : "");
  stack.records[static_cast<size_t>(stack.newest)] = copy;
}

ErrorRecord PopError(bool pop) {
  Stack& stack = TheStack();
  std::lock_guard guard(stack.lock);
  if (stack.newest < 0) return ErrorRecord{};
  ErrorRecord record = stack.records[static_cast<size_t>(stack.newest)];
  if (pop) --stack.newest;
  return record;
}

int ErrorCount() {
  Stack& stack = TheStack();
  std::lock_guard guard(stack.lock);
  return stack.newest + 1;
}

void ClearErrors() {
  Stack& stack = TheStack();
  std::lock_guard guard(stack.lock);
  stack.newest = -1;
}

void PushOutOfMemory() { PushError(MakeErrorRecord(kOutOfMemoryCode, 2, kOutOfMemoryMessage)); }

void PushImageLibraryError() {
  PushError(MakeErrorRecord(kImageLibraryCode, 2, "Error: The image operation failed."));
}

void PushErrorText(const std::string& message, int32_t code, int32_t severity) {
  PushError(MakeErrorRecord(code, severity, message));
}

void SetErrorPresenter(ErrorPresenter presenter) { ThePresenter() = std::move(presenter); }

void ShowError(const ErrorRecord& record) {
  if (ThePresenter()) {
    ThePresenter()(record);
    return;
  }
  std::fprintf(stderr, "%s\n", record.text[0].data());
}

}  // namespace q3d
