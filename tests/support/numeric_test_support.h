#pragma once
// Helpers shared by the numeric tests: capture of the diagnostic output, and progress and
// random sources that record or script what the focal search does.
#include <string>
#include <vector>

#include "numeric/random_source.h"
#include "base/diagnostics.h"
#include "base/progress.h"

namespace q3d::test {

// Collects the diagnostic lines while alive.
class DiagnosticCapture {
 public:
  DiagnosticCapture() {
    SetDiagnosticSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~DiagnosticCapture() { SetDiagnosticSink(nullptr); }
  bool Contains(const std::string& text) const {
    for (const auto& line : lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  std::vector<std::string> lines;
};

class RecordingProgress : public Progress {
 public:
  bool Create() override {
    ++created;
    return true;
  }
  void Destroy() override { ++destroyed; }
  std::vector<int> positions;
  int created = 0;
  int destroyed = 0;

 protected:
  void OnPosChanged(bool) override { positions.push_back(Pos()); }
};

// Returns the given values in a cycle.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::vector<double> values) : RandomSource(0), values_(std::move(values)) {}
  double Uniform() override { return values_[next_++ % values_.size()]; }

 private:
  std::vector<double> values_;
  size_t next_ = 0;
};

}  // namespace q3d::test
