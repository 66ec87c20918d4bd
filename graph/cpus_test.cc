// The CPU count for every reading of the mask, the quota and the cap.
#include "graph/cpus.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(UsableCpus, EveryReadingBoundsTheCount) {
  struct Case {
    int32_t affinity;
    const char* cpu_max;
    const char* cap;
    int32_t want;
  } cases[] = {
      {8, "", nullptr, 8},            // the affinity mask alone
      {0, "", nullptr, 1},            // unknown: one thread
      {8, "max 100000", nullptr, 8},  // no quota
      {8, "150000 100000", nullptr, 2},  // 1.5 CPUs of quota round up to 2
      {8, "50000 100000", nullptr, 1},
      {2, "800000 100000", nullptr, 2},  // a quota above the mask does not raise it
      {8, "", "3", 3},               // TARNWICK_THREADS caps
      {2, "", "16", 2},              // but never raises
      {8, "", "0", 8},               // not a positive number: ignored
      {8, "", "-2", 8},
      {8, "", "4x", 8},
      {8, "", "", 8},
      {8, "200000 100000", "1", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(detail::usable_cpus_from(c.affinity, c.cpu_max, c.cap), c.want)
        << c.affinity << " / '" << c.cpu_max << "' / " << (c.cap ? c.cap : "unset");
  }
}

TEST(UsableCpus, AtLeastOne) { EXPECT_GE(usable_cpus(), 1); }

}  // namespace
}  // namespace tarnwick
