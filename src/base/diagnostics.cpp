#include "base/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace q3d {
namespace {
DiagnosticSink& TheSink() {
  static DiagnosticSink sink;
  return sink;
}

// Lines may come from several threads at once (refinements run side by side); the sink
// gets them one at a time.
std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}
}  // namespace

void SetDiagnosticSink(DiagnosticSink sink) { TheSink() = std::move(sink); }

bool DiagnosticsEnabled() { return static_cast<bool>(TheSink()); }

void Diag(const std::string& line) {
  if (!TheSink()) return;
  const std::lock_guard<std::mutex> lock(SinkMutex());
  TheSink()(line);
}

void Diagf(const char* format, ...) {
  if (!TheSink()) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  const std::lock_guard<std::mutex> lock(SinkMutex());
  TheSink()(buffer);
}

}  // namespace q3d
