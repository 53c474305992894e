// The software cost of one code: op_get_otp (INIT, SELECT, compute code) through
// libhidapi-keysim against a keysim server on a thread of this process, no latency.
#include "tests/support/sim_server.h"

#include <benchmark/benchmark.h>
#include <easylogging++.h>

namespace {

void run_codes(benchmark::State& state) {
  auto key = first_key_found();
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
  TempLog log;  // the log goes to a private data folder
  SimServer sim;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
