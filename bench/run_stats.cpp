// Runs a command and reports its CPU time and peak resident memory:
//
//   run_stats OUTFILE CMD ARGS...    (stdout of CMD goes to OUTFILE)
//
// prints "<cpu seconds> <peak KiB> <exit status>" on standard output.  The
// benchmark runs commands through it because a child forked from a large
// process (the Python driver) would inherit that process's resident size in
// its peak-memory figure.
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: run_stats OUTFILE CMD [ARGS...]\n");
    return 2;
  }
  pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int null = open("/dev/null", O_WRONLY);
    if (fd < 0 || null < 0) _exit(127);
    dup2(fd, 1);
    dup2(null, 2);
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) < 0) return 2;
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  std::printf("%.6f %ld %d\n", cpu, ru.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
