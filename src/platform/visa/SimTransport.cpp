#include <algorithm>

#include "platform/visa/Backends.h"
#include "platform/visa/ReadBuffer.h"

namespace visa::detail {
namespace {

// An in-process instrument seen through the bus: one SimDevice message per line (or per write
// when it ends without one, as END does on GPIB). Time passes only through SpendSimTime: the
// bus time of each transfer, the instrument's busy time before its next transfer, read time-outs.
class SimTransport : public Transport {
 public:
  explicit SimTransport(std::shared_ptr<SimDevice> device) : device_(std::move(device)) {}

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings& io) override {
    if (device_->Closed()) return Lost(written);
    // A busy instrument holds off the next message until it is done.
    SpendSimTime(SIM_GPIB_TRANSFER_MS + busyMs_);
    busyMs_ = 0;
    for (ViUInt32 i = 0; i < count; ++i) {
      if (buf[i] == '\n') {
        Deliver();
      } else {
        partial_.push_back(static_cast<char>(buf[i]));
      }
    }
    if (io.sendEnd) Deliver();
    *written = count;
    return VI_SUCCESS;
  }

  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings& io) override {
    if (device_->Closed()) return Lost(got);
    SpendSimTime(SIM_GPIB_TRANSFER_MS);
    ViStatus status = VI_SUCCESS;
    while (!in_.Take(buf, count, got, io.termChar, io.termCharEnabled, &status)) {
      // The reply is ready once the instrument has finished; the read waits up to its time-out.
      const bool infinite = io.timeoutMs == VI_TMO_INFINITE;
      if (busyMs_ > 0) {
        if (!infinite && busyMs_ > io.timeoutMs) {
          SpendSimTime(io.timeoutMs);
          busyMs_ -= io.timeoutMs;
          *got = in_.TakePartial(buf, count);
          return VI_ERROR_TMO;
        }
        SpendSimTime(busyMs_);
        busyMs_ = 0;
      }
      if (device_->Closed()) return Lost(got);
      auto line = device_->Read();
      if (!line) {
        // Nothing will come. An infinite time-out would hang for good on a real bus; the
        // simulator knows better and gives up at once.
        if (!infinite) SpendSimTime(io.timeoutMs);
        *got = in_.TakePartial(buf, count);
        return VI_ERROR_TMO;
      }
      line->push_back('\n');
      in_.Append(line->data(), line->size(), true);
    }
    return status;
  }

  void DiscardInput() override {
    in_.Clear();
    // A bounded drain: a device that always has output must not hang the station.
    for (int i = 0; i < 1000 && device_->Read(); ++i) {
    }
    busyMs_ = 0;
  }

 private:
  // The far end hung up: at once, as a socket's end of file.
  ViStatus Lost(ViUInt32* count) {
    *count = 0;
    SpendSimTime(SIM_GPIB_TRANSFER_MS);
    return VI_ERROR_CONN_LOST;
  }

  void Deliver() {
    if (partial_.empty()) return;
    busyMs_ += device_->Write(partial_);
    partial_.clear();
  }

  std::shared_ptr<SimDevice> device_;
  std::string partial_;
  uint32_t busyMs_ = 0;
  ReadBuffer in_;
};

}  // namespace

std::unique_ptr<Transport> OpenSimTransport(std::shared_ptr<SimDevice> device) {
  return std::make_unique<SimTransport>(std::move(device));
}

}  // namespace visa::detail
