/* The recorder of an instrumented build (-finstrument-functions): each entry
 * and exit of a function on the main thread, one line "E addr" or "X addr",
 * into the file TRACE_OUT names. call_walk.py reads it. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#define NOT_TRACED __attribute__((no_instrument_function))

static FILE* trace;
static long main_thread;

NOT_TRACED __attribute__((constructor)) static void open_trace(void) {
  const char* path = getenv("TRACE_OUT");
  if (path != NULL) trace = fopen(path, "w");
  main_thread = getpid();
}

NOT_TRACED static void note(char kind, void* fn) {
  if (trace != NULL && syscall(SYS_gettid) == main_thread) fprintf(trace, "%c %lx\n", kind, (unsigned long)fn);
}

NOT_TRACED void __cyg_profile_func_enter(void* fn, void* site) { (void)site; note('E', fn); }
NOT_TRACED void __cyg_profile_func_exit(void* fn, void* site) { (void)site; note('X', fn); }
