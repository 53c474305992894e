// Round trip of one report pair (PING out, echo back) through the simulated key: in process,
// and through libhidapi-keysim, the socket and a keysim server on a thread of this process.
#include "sim/device.h"
#include "tests/support/sim_server.h"

#include <benchmark/benchmark.h>
#include <hidapi.h>

namespace {

std::vector<std::uint8_t> ping_on(std::uint32_t cid) {
  std::vector<std::uint8_t> p = {static_cast<std::uint8_t>(cid >> 24), static_cast<std::uint8_t>(cid >> 16),
                                 static_cast<std::uint8_t>(cid >> 8), static_cast<std::uint8_t>(cid), 0x81, 0x00, 0x08};
  p.resize(64, 0xA5);
  return p;
}

void DeviceInProcess(benchmark::State& state) {
  auto applet = std::make_shared<keysim::Applet>(keysim::AppletState{});
  keysim::U2fDevice device(applet, std::make_shared<keysim::Faults>());
  std::vector<std::uint8_t> init = {0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8};
  const auto reply = device.handle(init).reports.at(0);
  const std::uint32_t cid = (std::uint32_t{reply[15]} << 24) | (std::uint32_t{reply[16]} << 16) |
                            (std::uint32_t{reply[17]} << 8) | reply[18];
  const auto ping = ping_on(cid);
  for (auto _ : state) benchmark::DoNotOptimize(device.handle(ping));
}
BENCHMARK(DeviceInProcess);

void ThroughServer(benchmark::State& state) {
  hid_device* dev = hid_open_path("keysim:key0:0");
  if (!dev) {
    state.SkipWithError("cannot open keysim:key0:0");
    return;
  }
  unsigned char report[65] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8};
  unsigned char in[256];
  hid_write(dev, report, sizeof report);
  hid_read_timeout(dev, in, sizeof in, 2000);
  const std::uint32_t cid = (std::uint32_t{in[15]} << 24) | (std::uint32_t{in[16]} << 16) |
                            (std::uint32_t{in[17]} << 8) | in[18];
  const auto ping = ping_on(cid);
  std::copy(ping.begin(), ping.end(), report + 1);
  for (auto _ : state) {
    if (hid_write(dev, report, sizeof report) != 65 || hid_read_timeout(dev, in, sizeof in, 2000) != 64) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  hid_close(dev);
}
BENCHMARK(ThroughServer);

}  // namespace

int main(int argc, char** argv) {
  SimServer sim;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
