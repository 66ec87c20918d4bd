#include <cstdio>
#include <exception>
#include <new>

#include "driver/run.h"

int main(int argc, char** argv) {
  try {
    return tarnwick::run(argc, argv);
  } catch (const std::bad_alloc&) {
    // A graph too large for the memory this process may have.
    std::fputs("tarnwick: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwick: %s\n", e.what());
  }
  return tarnwick::kCannotJudge;
}
