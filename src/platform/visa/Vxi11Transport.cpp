#include "platform/visa/Backends.h"

#ifdef TESMIRA_HAVE_LXI
#include <lxi.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/visa/ReadBuffer.h"
#endif

namespace visa::detail {

#ifdef TESMIRA_HAVE_LXI
#ifdef __SANITIZE_ADDRESS__
// Debian's liblxi 1.18 keeps a few bytes of every session after lxi_disconnect, and libtirpc's
// clnt_create a host address; neither is this program's to free, so the leak check of the
// sanitizer builds leaves those two libraries out.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:liblxi.so\nleak:libtirpc.so\n";
}
#endif

namespace {

constexpr int VXI11_CONNECT_TIMEOUT_MS = 5000;
constexpr size_t VXI11_MAX_REPLY = 65536;

int LxiTimeout(ViUInt32 timeoutMs) {
  return timeoutMs > static_cast<ViUInt32>(INT_MAX) ? INT_MAX : static_cast<int>(timeoutMs);
}

// libtirpc writes to a connection the gateway may have closed; the SIGPIPE that raises would
// end the station. It is held off in this thread for the call and a pending one consumed,
// unless one was pending before (then it is not ours to take).
class SigPipeGuard {
 public:
  SigPipeGuard() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &block, &old_);
  }
  ~SigPipeGuard() {
    if (!wasPending_) {
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      const timespec zero{0, 0};
      while (sigtimedwait(&pipe, nullptr, &zero) == SIGPIPE) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  SigPipeGuard(const SigPipeGuard&) = delete;
  SigPipeGuard& operator=(const SigPipeGuard&) = delete;

 private:
  sigset_t old_;
  bool wasPending_ = false;
};

// liblxi says only that a call failed. One that used up its time-out is a time-out (the
// gateway's I/O time-out, error 15, comes back then); one that failed sooner is a broken link
// or an error the gateway reported at once.
class CallTimer {
 public:
  explicit CallTimer(ViUInt32 timeoutMs) : timeoutMs_(timeoutMs) {}
  ViStatus Failure() const {
    if (timeoutMs_ == VI_TMO_INFINITE) return VI_ERROR_IO;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start_)
                           .count();
    return spent + TIMER_SLACK_MS >= static_cast<long long>(timeoutMs_) ? VI_ERROR_TMO
                                                                        : VI_ERROR_IO;
  }

 private:
  static constexpr long long TIMER_SLACK_MS = 20;
  ViUInt32 timeoutMs_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// VXI-11 (LAN instruments, LAN/GPIB gateways) through liblxi. Each write is one message with
// END; each receive is one whole reply, kept here so viRead can hand it out in pieces.
class Vxi11Transport : public Transport {
 public:
  explicit Vxi11Transport(int device) : device_(device) {}
  ~Vxi11Transport() override { Close(); }

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings& io) override {
    *written = 0;
    if (device_ < 0) return VI_ERROR_CONN_LOST;
    if (count > static_cast<ViUInt32>(INT_MAX)) return VI_ERROR_INV_PARAMETER;
    const CallTimer timer(io.timeoutMs);
    const SigPipeGuard guard;
    const int n = lxi_send(device_, reinterpret_cast<const char*>(buf), static_cast<int>(count),
                           LxiTimeout(io.timeoutMs));
    if (n < 0) return timer.Failure();
    *written = static_cast<ViUInt32>(std::min<ViUInt32>(static_cast<ViUInt32>(n), count));
    // liblxi passes on a device_write error (a refused link, the gateway's I/O time-out) only
    // as a short count.
    return *written < count ? timer.Failure() : VI_SUCCESS;
  }

  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings& io) override {
    *got = 0;
    ViStatus status = VI_SUCCESS;
    while (!in_.Take(buf, count, got, io.termChar, io.termCharEnabled, &status)) {
      if (device_ < 0) return VI_ERROR_CONN_LOST;
      std::vector<char> reply(VXI11_MAX_REPLY);
      const CallTimer timer(io.timeoutMs);
      const SigPipeGuard guard;
      const int n = lxi_receive(device_, reply.data(), static_cast<int>(reply.size()),
                                LxiTimeout(io.timeoutMs));
      if (n < 0) {
        *got = in_.TakePartial(buf, count);
        return timer.Failure();
      }
      // An empty message with END: the read is complete, with nothing in it.
      if (n == 0) return VI_SUCCESS;
      in_.Append(reply.data(), static_cast<size_t>(n), true);
    }
    return status;
  }

  void DiscardInput() override { in_.Clear(); }

  ViStatus Close() override {
    if (device_ >= 0) {
      const SigPipeGuard guard;  // destroy_link on a connection that may be gone
      lxi_disconnect(device_);
      device_ = -1;
    }
    return VI_SUCCESS;
  }

 private:
  int device_;
  ReadBuffer in_;
};

}  // namespace

ViStatus OpenVxi11Transport(const std::string& host, const std::string& device,
                            std::unique_ptr<Transport>* out) {
  static const bool initialised = lxi_init() == LXI_OK;
  if (!initialised) return VI_ERROR_SYSTEM_ERROR;
  const SigPipeGuard guard;
  const int id = lxi_connect(host.c_str(), 0, device.c_str(), VXI11_CONNECT_TIMEOUT_MS, VXI11);
  if (id < 0) return VI_ERROR_RSRC_NFOUND;
  *out = std::make_unique<Vxi11Transport>(id);
  return VI_SUCCESS;
}

#else

ViStatus OpenVxi11Transport(const std::string&, const std::string&, std::unique_ptr<Transport>*) {
  return VI_ERROR_NSUP_OPER;
}

#endif

}  // namespace visa::detail
