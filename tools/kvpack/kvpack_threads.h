// Work on several processors at once for the packer (the installer stays single-threaded):
// POSIX threads, which the MinGW builds provide through winpthreads.
#pragma once

// Runs work(context) on up to count threads at once, the calling thread among them, and
// returns when every one has returned. Threads that cannot be started are left out, so work
// must share itself out (taking items from a common counter) rather than count on a number.
void kvp_run_parallel(int count, void (*work)(void *context), void *context);
