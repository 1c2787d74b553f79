#include "platform/visa/SimDevice.h"

#include <chrono>
#include <map>
#include <thread>
#include <utility>

#include "platform/visa/Resource.h"

namespace visa {
namespace {

// The in-process instruments and where their time goes. Used from the station's one thread.
struct SimRegistryState {
  std::map<std::string, std::shared_ptr<SimDevice>> devices;  // by canonical resource
  std::function<void(uint32_t ms)> timeSink;
};

SimRegistryState& State() {
  // Never destroyed: drivers and devices held by other static objects may still close
  // their sessions while the program exits.
  static SimRegistryState& state = *new SimRegistryState;
  return state;
}

std::string Key(const std::string& resource) {
  std::string canonical = CanonicalResource(resource);
  return canonical.empty() ? resource : canonical;
}

}  // namespace

void RegisterSimDevice(const std::string& resource, std::shared_ptr<SimDevice> device) {
  if (!device) {
    UnregisterSimDevice(resource);
    return;
  }
  State().devices[Key(resource)] = std::move(device);
}

void UnregisterSimDevice(const std::string& resource) {
  State().devices.erase(Key(resource));
}

void ClearSimDevices() {
  State().devices.clear();
}

std::shared_ptr<SimDevice> FindSimDevice(const std::string& resource) {
  auto& devices = State().devices;
  auto it = devices.find(Key(resource));
  return it == devices.end() ? nullptr : it->second;
}

std::vector<std::string> SimDeviceResources() {
  std::vector<std::string> names;
  for (const auto& entry : State().devices) names.push_back(entry.first);
  return names;
}

void SetSimTimeSink(std::function<void(uint32_t ms)> sink) {
  State().timeSink = std::move(sink);
}

void SpendSimTime(uint32_t ms) {
  if (ms == 0) return;
  auto& sink = State().timeSink;
  if (sink) {
    sink(ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

}  // namespace visa
