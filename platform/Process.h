// Starting an outside program (the GPS transfer program) and waiting for it.
#pragma once

#include <string>
#include <vector>

struct TRunResult {
  bool started = false;   // the program was found and started
  bool timedOut = false;  // it did not end in time and was stopped
  int exitCode = -1;      // its exit status when waited for and it ended by itself; else -1
  int termSignal = 0;     // the signal that ended it, when one did
  int osError = 0;        // errno of a failed start (ENOENT, EACCES, ...)
  int pid = 0;            // its process id once started
};

// Starts `program` with `args` (argv[1..]; no shell, no quoting). A program
// name without "/" is looked up in PATH. The program runs in a process group
// of its own, with default signal handling and an empty signal mask.
//
// With `wait` the call waits up to `waitTimeoutMs` (negative: without limit)
// for the program to end and reports its exit status. When the time runs out
// the program and anything it started in its process group get SIGTERM,
// then, after a grace of one second, SIGKILL; it is reaped and the result
// says timedOut. Without `wait` the call returns at once and the program is
// reaped in the background when it ends. Either way no zombie is left.
TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args, int waitTimeoutMs,
                      bool wait);
