// How many threads a run may use: the CPUs this process was given.
#ifndef TARNWICK_GRAPH_CPUS_H_
#define TARNWICK_GRAPH_CPUS_H_

#include <cstdint>

namespace tarnwick {

// Returns the number of worker threads a run may start, at least 1: the CPUs
// in this process's affinity mask (what nproc counts), bounded by a cgroup v2
// CPU quota when one is set, and capped by TARNWICK_THREADS when that holds a
// positive number. Never more than the process was given.
int32_t usable_cpus();

namespace detail {

// Returns usable_cpus() for the given readings: `affinity` CPUs in the mask
// (0 when unknown), the text of cgroup's cpu.max (empty when absent) and of
// TARNWICK_THREADS (nullptr when unset). Split out so that tests reach every case.
int32_t usable_cpus_from(int32_t affinity, const char* cpu_max, const char* cap);

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_CPUS_H_
