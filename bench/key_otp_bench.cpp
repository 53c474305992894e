// The software cost of one code: op_get_otp (INIT, SELECT, compute code) through
// libhidapi-keysim against a keysim server on a thread of this process, no latency.
#include "key/hid.h"
#include "key/toolkit.h"
#include "sim/config.h"
#include "sim/server.h"

#include <benchmark/benchmark.h>
#include <easylogging++.h>

#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

const char* const config = R"({"keys": [{"id": "key0", "product_id": 2136, "active": "OT000001",
  "credentials": [{"serial": "OT000001", "algorithm": 2, "hash": 1, "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"}]}]})";

std::shared_ptr<U2FUsbKey> find_key() {
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(orvalin_vendor_id, otp, keys);
  return keys.empty() ? nullptr : keys.front();
}

void run_codes(benchmark::State& state) {
  auto key = find_key();
  if (!key) {
    state.SkipWithError("no simulated key");
    return;
  }
  const ByteBuffer serial = {'O', 'T', '0', '0', '0', '0', '0', '1'};
  int digits = 0;
  for (auto _ : state) benchmark::DoNotOptimize(key->op_get_otp(serial, digits));
}

// Logging as in production: the delivered log.conf, one flushed line per record.
void OpGetOtpWithLog(benchmark::State& state) {
  setup_log(UMBRATA_LOG_CONF);
  run_codes(state);
}
BENCHMARK(OpGetOtpWithLog)->Unit(benchmark::kMicrosecond);

// The same with every log record dropped, to show what the log costs.
void OpGetOtpWithoutLog(benchmark::State& state) {
  el::Configurations off;
  off.setToDefault();
  off.setGlobally(el::ConfigurationType::Enabled, "false");
  el::Loggers::reconfigureAllLoggers(off);
  run_codes(state);
}
BENCHMARK(OpGetOtpWithoutLog)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  char dir_template[] = "/tmp/umbrata-bench-XXXXXX";
  const std::string dir = ::mkdtemp(dir_template);
  ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
  const std::string socket = dir + "/keysim.sock";
  ::setenv("KEYSIM_SOCKET", socket.c_str(), 1);

  std::vector<keysim::KeyConfig> keys;
  std::string error;
  keysim::parse_config(config, keys, error);
  keysim::Server server(std::move(keys), socket);
  if (!server.listen(error)) return 1;
  std::thread serving([&] { server.run(); });

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  server.stop();
  serving.join();
  std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
