// Counting the CPUs a process is given: affinity mask, cgroup quota, TARNWICK_THREADS.
#include "graph/cpus.h"

#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace tarnwick {

namespace {

// Returns the CPUs in this process's affinity mask, or 0 when it cannot be read.
int32_t affinity_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  return CPU_COUNT(&set);
}

// Returns the text of this process's cgroup v2 cpu.max, or "" when there is none.
std::string read_cpu_max() {
  std::ifstream in("/sys/fs/cgroup/cpu.max");
  std::string text;
  std::getline(in, text);
  return text;
}

// Returns the whole CPUs a cpu.max text ("QUOTA PERIOD" or "max PERIOD")
// allows, rounded up, or 0 when it sets no limit.
int32_t quota_cpus(const char* cpu_max) {
  long long quota = 0, period = 0;
  if (cpu_max == nullptr || std::sscanf(cpu_max, "%lld %lld", &quota, &period) != 2) return 0;
  if (quota <= 0 || period <= 0) return 0;
  return static_cast<int32_t>(std::min<long long>((quota + period - 1) / period, 1 << 20));
}

// Returns the positive number TARNWICK_THREADS holds, or 0 when it holds none.
int32_t thread_cap(const char* cap) {
  if (cap == nullptr) return 0;
  char* end = nullptr;
  long v = std::strtol(cap, &end, 10);
  if (end == cap || *end != '\0' || v <= 0) return 0;
  return static_cast<int32_t>(std::min<long>(v, 1 << 20));
}

}  // namespace

namespace detail {

int32_t usable_cpus_from(int32_t affinity, const char* cpu_max, const char* cap) {
  int32_t cpus = std::max(affinity, 1);
  if (int32_t quota = quota_cpus(cpu_max); quota > 0) cpus = std::min(cpus, quota);
  if (int32_t limit = thread_cap(cap); limit > 0) cpus = std::min(cpus, limit);
  return cpus;
}

}  // namespace detail

int32_t usable_cpus() {
  std::string cpu_max = read_cpu_max();
  return detail::usable_cpus_from(affinity_cpus(), cpu_max.c_str(), std::getenv("TARNWICK_THREADS"));
}

}  // namespace tarnwick
