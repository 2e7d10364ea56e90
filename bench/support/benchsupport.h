#pragma once
// Helpers of the app benchmarks: a scratch device made current for the run,
// and a reporter that keeps each benchmark's times for ratios printed after.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/core/device.h"

// A device in a fresh temporary folder, current until the process ends;
// remove() deletes the folder.
struct ScratchDevice {
  std::filesystem::path folder;
  std::filesystem::path root;  // the device's "\"

  ScratchDevice() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvel-bench-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    std::string error;
    auto device = Device::create(folder / "device", DeviceConfig{}, error);
    root = device->root();
    exchangeCurrentDevice(std::move(device));
  }
  void remove() const {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

class TimesReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real = 0, cpu = 0;  // per iteration, in the benchmark's unit
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        m_times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
  Times of(const std::string& name) const {
    auto it = m_times.find(name);
    return it == m_times.end() ? Times{} : it->second;
  }

 private:
  std::map<std::string, Times> m_times;
};
