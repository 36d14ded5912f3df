// quillon_bench [--inputs=DIR] [Google Benchmark flags]
//
// Loads the inputs that make-inputs.py wrote (by default into the build tree)
// and runs every benchmark family on them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench.h"

#ifndef QUILLON_BENCH_INPUT_DIR
#define QUILLON_BENCH_INPUT_DIR "bench-inputs"
#endif

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string directory = QUILLON_BENCH_INPUT_DIR;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--inputs=", 9) == 0) {
      directory = argv[i] + 9;
    } else {
      std::fprintf(stderr, "quillon_bench: unknown argument %s\n", argv[i]);
      return 2;
    }
  }

  static bench::Input plain, csi, unrecognised, records, extended;
  if (!bench::loadInput(directory, "vt100-plain.bin", &plain) || !bench::loadInput(directory, "vt100-csi.bin", &csi) ||
      !bench::loadInput(directory, "vt100-unrecognised.bin", &unrecognised) ||
      !bench::loadInput(directory, "tn3270-records.bin", &records) ||
      !bench::loadInput(directory, "tn3270-extended.bin", &extended))
    return 1;
  int recordCount = 0;
  std::ifstream(directory + "/tn3270-records.count") >> recordCount;
  if (recordCount <= 0) {
    std::fprintf(stderr, "quillon_bench: %s/tn3270-records.count is missing\n", directory.c_str());
    return 1;
  }
  if (!bench::enterScratchDirectory()) {
    std::fprintf(stderr, "quillon_bench: no scratch directory\n");
    return 1;
  }

  bench::registerVt100({&plain, &csi, &unrecognised});
  bench::registerConnectedVt100(&plain);
  bench::register3270(&records, &extended, recordCount);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
