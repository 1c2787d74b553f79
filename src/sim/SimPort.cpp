#include "sim/SimPort.h"

#include <algorithm>
#include <cstring>

namespace {
uint64_t UsToMsRoundedUp(uint64_t us) {
  return (us + 999) / 1000;
}
}  // namespace

bool SimPort::Open(int portNumber, uint32_t baud) {
  if (open_) return true;
  if (failOpen || baud == 0) return false;
  open_ = true;
  lost_ = false;
  port_number_ = portNumber;
  baud_ = baud;
  return true;
}

bool SimPort::Close() {
  lost_ = false;
  if (open_) {
    open_ = false;
    ++epoch_;  // what was still on the wire is lost with the handle
  }
  return true;
}

void SimPort::DeviceLost() {
  if (!open_) return;
  Close();
  lost_ = true;
  loop_.Post([this, alive = std::weak_ptr<bool>(alive_), epoch = epoch_] {
    if (alive.expired()) return;
    if (lost_ && epoch == epoch_ && owner_ != nullptr) owner_->OnPortLost();
  });
}

uint64_t SimPort::WireTimeUs(size_t bytes) const {
  return (static_cast<uint64_t>(bytes) * 10 * 1000000 + baud_ - 1) / baud_;
}

uint64_t SimPort::LineSlot(uint64_t& lineFreeUs, size_t bytes) {
  const uint64_t start = std::max(loop_.Now() * 1000, lineFreeUs);
  lineFreeUs = start + WireTimeUs(bytes);
  return lineFreeUs;
}

void SimPort::ToDevice(const uint8_t* bytes, size_t count) {
  writes.emplace_back(bytes, bytes + count);
  const uint64_t arrivesUs = LineSlot(to_device_free_us_, count);
  if (far_end_ == nullptr) return;
  std::vector<uint8_t> data(bytes, bytes + count);
  loop_.At(UsToMsRoundedUp(arrivesUs),
           [this, alive = std::weak_ptr<bool>(alive_), data = std::move(data)] {
             if (alive.expired()) return;
             if (far_end_ != nullptr) far_end_->OnStationBytes(data.data(), data.size());
           });
}

void SimPort::SendBytes(const uint8_t* bytes, size_t count) {
  if (!open_ || count == 0 || bytes[0] == 0) return;
  ToDevice(bytes, count);
}

size_t SimPort::SendAll(const uint8_t* bytes, size_t count) {
  if (!open_ || count == 0) return 0;
  ToDevice(bytes, count);
  return count;
}

// The reader hands every burst over as it arrives, so the driver never holds bytes for a read.
size_t SimPort::ReadAvailable(uint8_t* /*buffer*/, size_t /*max*/) {
  return 0;
}

void SimPort::DeviceSend(const uint8_t* data, size_t count) {
  // The reader takes at most RX_BUFFER_SIZE bytes per read; each part reaches the station when
  // its last byte has crossed the line.
  for (size_t offset = 0; offset < count; offset += RX_BUFFER_SIZE) {
    const size_t part = std::min(RX_BUFFER_SIZE, count - offset);
    const uint64_t arrivesUs = LineSlot(to_station_free_us_, part);
    std::vector<uint8_t> bytes(data + offset, data + offset + part);
    loop_.At(UsToMsRoundedUp(arrivesUs),
             [this, alive = std::weak_ptr<bool>(alive_), epoch = epoch_, bytes = std::move(bytes)] {
               if (!alive.expired()) Deliver(epoch, bytes);
             });
  }
}

void SimPort::Deliver(uint64_t epoch, const std::vector<uint8_t>& data) {
  if (!open_ || epoch != epoch_) return;  // nobody listening: the bytes are lost
  if (queue_mode_) {
    if (queue_.Free() >= data.size()) {
      for (uint8_t b : data) queue_.Put(b);
    } else if (onQueueFull) {
      onQueueFull("Queue is Full !");  // the whole burst is dropped; earlier bytes stay
    }
    arrived_.store(1);
    return;
  }
  if (owner_ == nullptr) return;  // no owner window: the burst is lost
  std::memcpy(rx_buffer_, data.data(), data.size());
  rx_count_ = static_cast<uint32_t>(data.size());
  owner_->OnCommData();
}
