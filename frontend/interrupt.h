// Interrupted runs and lost output.
//
// SIGINT and SIGTERM (a person's Ctrl-C, a job scheduler's time limit) do not
// lose the search: the first one, once the search runs, sets the stop flag
// the search was given, the search loop stops at its next loop test, and the
// driver verifies and reports the best set as after a normal end, then says on
// standard error that the run was interrupted and ends with 128 + the signal
// number.  A signal while the instance is read or parsed (nothing has been
// searched yet), or a second signal at any time, ends the process at once
// with 128 + its number and one line on standard error.
//
// A write to standard output that fails (a full disk, /dev/full, a pipe whose
// reader has gone) is never reported as success: SIGPIPE is ignored so that
// the failed write returns EPIPE instead of killing the process silently, and
// the driver checks standard output after the echo and after the report.
#pragma once

#include <atomic>

// Exit status of a run whose standard output could not be written (the
// conventional "input/output error" status of sysexits).
inline constexpr int kOutputFailedStatus = 74;

// Installs the handlers for SIGINT and SIGTERM (a signal that is ignored when
// the program starts, as for a background job, stays ignored) and ignores
// SIGPIPE.  `program` names the program in the handler's messages.
void install_interrupt_handlers(const char* program);

// From now on the first SIGINT/SIGTERM stops the search instead of ending the
// process.  Called once the instance is loaded.
void interrupt_stops_search();

// The signal that stopped the run, 0 when none arrived.
int interrupt_signal();

// The flag the handlers set to the signal that stops the search.
const std::atomic<int>& interrupt_stop_flag();

// Writes the one-line notice of an interrupted run to standard error;
// `reported` tells whether the best set reached standard output.
void report_interrupted(const char* program, int sig, bool reported);

// Flushes standard output; when it cannot be written (now or earlier), says so
// on standard error and returns false.
bool flush_output(const char* program);
