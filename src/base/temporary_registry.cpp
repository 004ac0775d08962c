#include "base/temporary_registry.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

namespace q3d {
namespace {

// Fixed storage: the signal handler may only read memory, never allocate.
struct Slot {
  std::atomic<bool> used{false};
  char path[PATH_MAX] = {};
};
constexpr size_t kSlots = 64;
std::array<Slot, kSlots> g_slots;
std::mutex g_claim;
struct sigaction g_previous[2];
constexpr std::array<int, 2> kSignals = {SIGINT, SIGTERM};

void RemoveTemporariesAndResignal(int signal) {
  for (Slot& slot : g_slots)
    if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
  const size_t which = signal == SIGINT ? 0 : 1;
  const struct sigaction& previous = g_previous[which];
  if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL &&
      previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
    return;
  }
  ::sigaction(signal, &previous, nullptr);
  ::raise(signal);
}

void InstallCleanup() {
  for (size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction current {};
    ::sigaction(kSignals[i], nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue;
    g_previous[i] = current;
    struct sigaction cleanup {};
    cleanup.sa_handler = &RemoveTemporariesAndResignal;
    sigemptyset(&cleanup.sa_mask);
    ::sigaction(kSignals[i], &cleanup, nullptr);
  }
}

}  // namespace

void RegisterTemporary(const std::string& path) {
  static std::once_flag installed;
  std::call_once(installed, InstallCleanup);
  if (path.size() >= PATH_MAX) return;
  std::lock_guard lock(g_claim);
  for (Slot& slot : g_slots) {
    if (slot.used.load(std::memory_order_relaxed)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used.store(true, std::memory_order_release);
    return;
  }
}

void UnregisterTemporary(const std::string& path) {
  std::lock_guard lock(g_claim);
  for (Slot& slot : g_slots) {
    if (slot.used.load(std::memory_order_relaxed) && path == slot.path) {
      slot.used.store(false, std::memory_order_release);
      return;
    }
  }
}

}  // namespace q3d
