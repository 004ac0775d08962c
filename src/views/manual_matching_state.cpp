#include "views/manual_matching_state.h"

#include <map>

namespace q3d {

std::shared_ptr<ManualMatchingState> ManualMatchingState::For(const CProjectDoc* doc) {
  // Weak entries: the state dies with the last view holding it, so a later document at
  // the same address never inherits a stale mode.
  static std::map<const CProjectDoc*, std::weak_ptr<ManualMatchingState>> states;
  std::erase_if(states, [](const auto& entry) { return entry.second.expired(); });
  if (auto existing = states[doc].lock()) return existing;
  auto state = std::make_shared<ManualMatchingState>();
  states[doc] = state;
  return state;
}

}  // namespace q3d
