#pragma once
// Uniform random numbers in [0, 1) for the random sampling of the focal search. Unseeded
// by default, so successive renders draw different samples; a seed makes a run repeatable.
// Tests may derive from it to script the draws.
#include <cstdint>
#include <optional>
#include <random>

namespace q3d {

class RandomSource {
 public:
  explicit RandomSource(std::optional<uint64_t> seed = std::nullopt);
  virtual ~RandomSource() = default;

  virtual double Uniform();

 private:
  std::mt19937_64 engine_;
};

}  // namespace q3d
