#include "project/diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace q3d {
namespace {
DiagnosticSink& TheSink() {
  static DiagnosticSink sink;
  return sink;
}
}  // namespace

void SetDiagnosticSink(DiagnosticSink sink) { TheSink() = std::move(sink); }

bool DiagnosticsEnabled() { return static_cast<bool>(TheSink()); }

void Diag(const std::string& line) {
  if (TheSink()) TheSink()(line);
}

void Diagf(const char* format, ...) {
  if (!TheSink()) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  TheSink()(buffer);
}

}  // namespace q3d
