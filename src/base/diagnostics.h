#pragma once
// Text output of the numeric routines (trial numbers, medians, solver messages).
// Silent by default; the command-line tool turns it on with --verbose.
#include <functional>
#include <string>

namespace q3d {

using DiagnosticSink = std::function<void(const std::string&)>;
// Set the sink while no numeric work runs; lines from several threads reach it one at a
// time.
void SetDiagnosticSink(DiagnosticSink sink);
bool DiagnosticsEnabled();
void Diag(const std::string& line);
// printf-style convenience.
void Diagf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace q3d
