#pragma once

#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "platform/EventLoop.h"

// An event loop seen through a window: forwards everything to the real loop and reports each
// busy wait and each timer that fires (for the trace of a run on real hardware; SimLoop has
// these observers itself).
class TracingLoop : public EventLoop {
 public:
  explicit TracingLoop(EventLoop& inner) : inner_(inner) {}
  ~TracingLoop() override {
    for (auto& [key, proxy] : proxies_) inner_.KillTimer(proxy.get(), key.second);
  }

  uint32_t TickCount() override { return inner_.TickCount(); }
  void BusyWait(uint32_t ms) override {
    if (onBusyWait) onBusyWait(ms);
    inner_.BusyWait(ms);
  }
  void SetTimer(TimerClient* client, int id, uint32_t ms) override {
    inner_.SetTimer(Proxy(client, id), id, ms);
  }
  void KillTimer(TimerClient* client, int id) override { inner_.KillTimer(Proxy(client, id), id); }
  void Post(std::function<void()> fn) override { inner_.Post(std::move(fn)); }
  void SendSync(std::function<void()> fn) override { inner_.SendSync(std::move(fn)); }
  bool PumpMessages() override { return inner_.PumpMessages(); }

  std::function<void(uint32_t ms)> onBusyWait;
  std::function<void(int id)> onTimer;

 private:
  class TimerProxy : public TimerClient {
   public:
    TimerProxy(TracingLoop& owner, TimerClient* target) : owner_(owner), target_(target) {}
    void OnTimer(int id) override {
      if (owner_.onTimer) owner_.onTimer(id);
      target_->OnTimer(id);
    }

   private:
    TracingLoop& owner_;
    TimerClient* target_;
  };

  // Proxies live as long as the loop: a timer being dispatched never loses its client.
  TimerClient* Proxy(TimerClient* client, int id) {
    auto& slot = proxies_[{client, id}];
    if (!slot) slot = std::make_unique<TimerProxy>(*this, client);
    return slot.get();
  }

  EventLoop& inner_;
  std::map<std::pair<TimerClient*, int>, std::unique_ptr<TimerProxy>> proxies_;
};
