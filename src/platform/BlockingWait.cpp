#include "platform/BlockingWait.h"

#include <atomic>
#include <thread>
#include <utility>

namespace {

struct HookState {
  std::function<void()> hook;            // touched by the owner thread only
  std::atomic<std::thread::id> owner{};  // no thread while none is installed
};

HookState& State() {
  static HookState state;
  return state;
}

}  // namespace

void SetBlockingWaitHook(std::function<void()> hook) {
  HookState& s = State();
  s.owner.store(std::thread::id{});
  s.hook = std::move(hook);
  if (s.hook) s.owner.store(std::this_thread::get_id());
}

bool BlockingWaitHooked() {
  return State().owner.load() == std::this_thread::get_id();
}

void BlockingWaitTick() {
  HookState& s = State();
  if (s.owner.load() == std::this_thread::get_id() && s.hook) s.hook();
}
