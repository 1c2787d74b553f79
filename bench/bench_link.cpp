// Handset link throughput: encoding and framing a request, and cutting a received answer into a
// frame and removing its escapes. items_per_second is frames per second; the serial line at
// 115200 baud carries about 129 frames of 89 bytes per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "link/Exchange.h"
#include "sim/SimLoop.h"

namespace {

// A request with many escaped bytes: 40 table bytes of 0x10 make an 86-byte wire frame.
std::string LongStwLine() {
  std::string line = "stw 60";
  for (int i = 0; i < 40; ++i) line += " 0x10";
  return line;
}

// SendCommandText, then what LoadFrame and TransmitFrame do to the bytes: take the pending
// frame and put it between the two markers.
void EncodeAndFrame(benchmark::State& state, const std::string& line) {
  ResetEncoderState();
  uint8_t frame[FRAME_BUFFER_SIZE];
  uint8_t wire[FRAME_BUFFER_SIZE + 2];
  size_t wireBytes = 0;
  for (auto _ : state) {
    SendCommandText(line);
    int8_t length = 0;
    TakePendingFrame(frame, &length);
    wire[0] = FRAME_MARKER;
    std::memcpy(wire + 1, frame, static_cast<size_t>(length));
    wire[length + 1] = FRAME_MARKER;
    wireBytes = static_cast<size_t>(length) + 2;
    benchmark::DoNotOptimize(wire);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["wire_bytes"] = static_cast<double>(wireBytes);
}

void BM_EncodeFrame_Txpw(benchmark::State& state) {
  EncodeAndFrame(state, "txpw 1 512");
}
void BM_EncodeFrame_LongStw(benchmark::State& state) {
  EncodeAndFrame(state, LongStwLine());
}
BENCHMARK(BM_EncodeFrame_Txpw);
BENCHMARK(BM_EncodeFrame_LongStw);

// A port whose received burst the benchmark sets directly.
class BurstPort : public Port {
 public:
  void Load(const std::vector<uint8_t>& bytes) {
    std::memcpy(rx_buffer_, bytes.data(), bytes.size());
    rx_count_ = static_cast<uint32_t>(bytes.size());
  }
  bool Open(int, uint32_t) override { return true; }
  bool Close() override { return true; }
  bool IsOpen() const override { return true; }
  void Purge() override {}
  void SetOwner(PortOwner*) override {}
  PortOwner* Owner() const override { return nullptr; }
  void SendBytes(const uint8_t*, size_t) override {}
  size_t SendAll(const uint8_t*, size_t count) override { return count; }
  size_t ReadAvailable(uint8_t*, size_t) override { return 0; }
  void SetQueueMode(bool) override {}
};

// A window that classifies each frame and unescapes the copy it would decode.
class DecodingWindow : public ExchangeClient {
 public:
  void DecodeAnswer(Exchange& ex) override {
    if (ex.CheckAnswer() == ANSWER_OK) decoded += ex.DecodeFrameCopy();
  }
  void OnAnswerTimeout(Exchange&) override {}
  size_t decoded = 0;
};

std::vector<uint8_t> Answer(uint8_t opcode, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> body = {opcode, 0x00, 0x3C};
  body.insert(body.end(), data.begin(), data.end());
  uint8_t check = 0;
  for (uint8_t b : body) check ^= b;
  body.push_back(check);
  std::vector<uint8_t> frame = {FRAME_MARKER, FRAME_HEADER};
  for (uint8_t b : body) {
    if (b == FRAME_MARKER || b == FRAME_ESCAPE) frame.push_back(FRAME_ESCAPE);
    frame.push_back(b);
  }
  frame.push_back(FRAME_MARKER);
  return frame;
}

// One answer per burst, as the port hands it over; the poll assembles and decodes it.
void ReceiveAnswer(benchmark::State& state, const std::vector<uint8_t>& answer) {
  ResetEncoderState();
  Encoder().lastOpcode = answer[2];
  SimLoop loop;
  BurstPort port;
  DecodingWindow window;
  Exchange ex(loop, port, window, 3000);
  port.Load(answer);
  for (auto _ : state) {
    ex.OnCommData();
    ex.OnTimer(TIMER_POLL);
  }
  benchmark::DoNotOptimize(window.decoded);
  state.SetItemsProcessed(state.iterations());
  state.counters["wire_bytes"] = static_cast<double>(answer.size());
}

// The IMEI read answer: eight table bytes.
void BM_ReceiveAnswer_Str(benchmark::State& state) {
  ReceiveAnswer(state, Answer(0x53, {0x35, 0x10, 0x02, 0x46, 0x77, 0x18, 0x90, 0x0F}));
}
// A full-size answer: 89 bytes on the wire, a dozen of them escapes.
void BM_ReceiveAnswer_89Bytes(benchmark::State& state) {
  std::vector<uint8_t> data;
  for (int i = 0; i < 70; ++i) data.push_back(i % 6 == 0 ? 0x10 : static_cast<uint8_t>(0x30 + i));
  ReceiveAnswer(state, Answer(0x39, data));
}
BENCHMARK(BM_ReceiveAnswer_Str);
BENCHMARK(BM_ReceiveAnswer_89Bytes);

}  // namespace

BENCHMARK_MAIN();
