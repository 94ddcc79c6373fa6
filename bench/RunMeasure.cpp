// Runs a command and reports its wall time and peak resident memory, the figures the benchmark
// script turns into seconds and bytes per sample. The command's standard output is discarded.
//
//   velmora-measure command [arguments...]

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
  std::printf("wall_seconds %.3f\npeak_rss_bytes %ld\nexit_status %d\n", wall.count(), usage.ru_maxrss * 1024L,
              WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}
