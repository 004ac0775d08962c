#include "numeric/random_source.h"

namespace q3d {

namespace {
uint64_t FreshSeed() {
  std::random_device device;
  return (static_cast<uint64_t>(device()) << 32) ^ device();
}
}  // namespace

RandomSource::RandomSource(std::optional<uint64_t> seed) : engine_(seed ? *seed : FreshSeed()) {}

double RandomSource::Uniform() {
  // The top 53 bits scaled by 2^-53: exactly representable, never 1.
  return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}

}  // namespace q3d
