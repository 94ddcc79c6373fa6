// Runs a command and reports its wall, user and system seconds and its peak resident memory, the
// figures the benchmark script compares. The command's standard output is discarded.
//
//   velmora-measure command [arguments...]
//
// prints one line: wall_seconds user_seconds system_seconds peak_rss_bytes exit_status

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::puts("usage: velmora-measure command [arguments...]");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  std::printf("%.3f %.3f %.3f %ld %d\n", wall.count(), seconds(usage.ru_utime), seconds(usage.ru_stime),
              usage.ru_maxrss * 1024L, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}
