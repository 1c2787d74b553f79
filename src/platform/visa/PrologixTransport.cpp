#include <map>
#include <string>

#include "platform/visa/Backends.h"
#include "platform/visa/PrologixAdapter.h"

namespace visa::detail {
namespace {

// The open adapters, by "kind host port": sessions to instruments behind one adapter share it.
std::map<std::string, std::weak_ptr<PrologixAdapter>>& Adapters() {
  static auto& adapters = *new std::map<std::string, std::weak_ptr<PrologixAdapter>>;
  return adapters;
}

// A GPIB instrument behind a Prologix adapter. Writes go out as one message with EOI on the
// last byte; reads end at the termination character (the instruments end each reply with a
// line feed and EOI, and the adapter passes no mark of EOI), when the buffer is full, or at
// the time-out.
class PrologixTransport : public Transport {
 public:
  PrologixTransport(std::shared_ptr<PrologixAdapter> adapter, int pad, int sad)
      : adapter_(std::move(adapter)), pad_(pad), sad_(sad) {}

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings& io) override {
    *written = 0;
    if (!adapter_) return VI_ERROR_CONN_LOST;
    const ViStatus status =
        adapter_->Write(pad_, sad_, std::string_view(reinterpret_cast<const char*>(buf), count),
                        Deadline(io.timeoutMs));
    if (status >= VI_SUCCESS) *written = count;
    return status;
  }

  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings& io) override {
    *got = 0;
    if (!adapter_) return VI_ERROR_CONN_LOST;
    return adapter_->Read(pad_, sad_, &in_, buf, count, got, io);
  }

  void DiscardInput() override {
    in_.Clear();
    if (adapter_) adapter_->MarkStale();
  }

  ViStatus Close() override {
    adapter_.reset();  // the last session to an adapter closes its connection
    return VI_SUCCESS;
  }

  ViStatus GetAttribute(ViAttr attr, void* value) override {
    if (attr == VI_ATTR_GPIB_PRIMARY_ADDR) {
      *static_cast<ViUInt16*>(value) = static_cast<ViUInt16>(pad_);
      return VI_SUCCESS;
    }
    if (attr == VI_ATTR_GPIB_SECONDARY_ADDR) {
      *static_cast<ViUInt16*>(value) = sad_ < 0 ? 0xFFFF : static_cast<ViUInt16>(sad_ - 96);
      return VI_SUCCESS;
    }
    return VI_ERROR_NSUP_ATTR;
  }

 private:
  std::shared_ptr<PrologixAdapter> adapter_;
  int pad_;
  int sad_;
  ReadBuffer in_;
};

}  // namespace

ViStatus OpenPrologixTransport(const std::string& kind, const std::string& host, int port, int pad,
                               int sad, std::unique_ptr<Transport>* out) {
  if (pad < 0 || pad > 30) return VI_ERROR_INV_RSRC_NAME;
  if (sad >= 0 && sad <= 30) sad += 96;  // the adapter takes the raw secondary address
  if (sad >= 0 && (sad < 96 || sad > 126)) return VI_ERROR_INV_RSRC_NAME;
  const std::string key = kind + " " + host + " " + std::to_string(port);
  auto& adapters = Adapters();
  std::shared_ptr<PrologixAdapter> adapter = adapters[key].lock();
  if (adapter && adapter->Lost()) adapter.reset();  // a new connection for a lost one
  if (!adapter) {
    const ViStatus status = PrologixAdapter::Open(kind, host, port, &adapter);
    if (status < VI_SUCCESS) {
      adapters.erase(key);
      return status;
    }
    adapters[key] = adapter;
  }
  *out = std::make_unique<PrologixTransport>(std::move(adapter), pad, sad);
  return VI_SUCCESS;
}

}  // namespace visa::detail
