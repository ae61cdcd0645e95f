#include "frontend/interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>


namespace {

const char* g_program = "";
// 0 while the command line and the instance are read: a signal then ends the
// process at once, since there is nothing to report yet.
volatile std::sig_atomic_t g_searching = 0;
// The signal that stopped the search, 0 while none has; the search reads it
// at every loop test.  Stored from the handler, hence lock-free.
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free);

const char* signal_name(int sig) { return sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "signal"; }

// Only async-signal-safe calls from here on: write(2) and _exit(2).
void write_text(const char* s) {
  size_t len = std::strlen(s);
  while (len > 0) {
    ssize_t w = ::write(STDERR_FILENO, s, len);
    if (w <= 0) return;
    s += w;
    len -= static_cast<size_t>(w);
  }
}

[[noreturn]] void end_now(int sig, const char* why) {
  const char digits[3] = {static_cast<char>('0' + sig / 10 % 10), static_cast<char>('0' + sig % 10), '\0'};
  write_text(g_program);
  write_text(": interrupted by signal ");
  write_text(sig >= 10 ? digits : digits + 1);
  write_text(" (");
  write_text(signal_name(sig));
  write_text(") ");
  write_text(why);
  write_text("\n");
  ::_exit(128 + sig);
}

void on_signal(int sig) {
  if (!g_searching) end_now(sig, "while loading the instance; nothing was searched");
  if (g_stop.load(std::memory_order_relaxed) != 0) end_now(sig, "again; the report was cut short");
  g_stop.store(sig, std::memory_order_relaxed);
}

void install(int sig) {
  struct sigaction old {};
  if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  // The two handlers never interrupt each other, so exactly one signal is the first.
  sigemptyset(&sa.sa_mask);
  sigaddset(&sa.sa_mask, SIGINT);
  sigaddset(&sa.sa_mask, SIGTERM);
  // The report's writes to a pipe or terminal restart instead of failing with
  // EINTR when the first signal arrives during them.
  sa.sa_flags = SA_RESTART;
  sigaction(sig, &sa, nullptr);
}

}  // namespace

void install_interrupt_handlers(const char* program) {
  g_program = program;
  install(SIGINT);
  install(SIGTERM);
  std::signal(SIGPIPE, SIG_IGN);
}

void interrupt_stops_search() { g_searching = 1; }

int interrupt_signal() { return g_stop.load(std::memory_order_relaxed); }

const std::atomic<int>& interrupt_stop_flag() { return g_stop; }

void report_interrupted(const char* program, int sig, bool reported) {
  std::fprintf(stderr, "%s: interrupted by signal %d (%s); the best set found so far %s\n", program, sig,
               signal_name(sig), reported ? "was reported" : "could not be written");
}

bool flush_output(const char* program) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int err = errno;
  if (flushed && !std::ferror(stdout)) return true;
  // A write that failed earlier (while the progress lines were buffered) leaves
  // only the error flag; its errno is gone.
  std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program,
               !flushed && err != 0 ? std::strerror(err) : "a write failed; the output is incomplete");
  return false;
}
