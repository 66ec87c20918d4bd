#include "cli/tool.h"
#include "driver/run.h"

int main(int argc, char** argv) {
  return tarnwick::guarded_main("tarnwick", tarnwick::run, argc, argv);
}
