#include "support/TestSupport.h"

#include <grp.h>
#include <pty.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "stream/StageChain.h"

namespace velmora::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device seed;
  dir = fs::temp_directory_path() / ("velmora-test-" + std::to_string(seed()) + std::to_string(seed()));
  fs::create_directories(dir);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

fs::path ownedFile(const fs::path& path, const Bytes& bytes, unsigned owner, unsigned mode) {
  writeFile(path, bytes);
  if (geteuid() == 0) {
    EXPECT_EQ(chown(path.c_str(), owner, nobody), 0);
  }
  EXPECT_EQ(chmod(path.c_str(), mode), 0);
  return path;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// The first stage: samples in blocks of blockSize.
class Source : public Stage {
 public:
  Source(const std::vector<double>& samples, std::size_t blockSize) : samples(samples), blockSize(blockSize) {}
  void step(SampleBlock&&, BlockSink&) override { ADD_FAILURE() << "the first stage has no input"; }
  void drain(BlockSink& next) override {
    for (std::size_t at = 0; at < samples.size(); at += blockSize) {
      const auto begin = samples.begin() + static_cast<std::ptrdiff_t>(at);
      next.put({Samples(begin, begin + static_cast<std::ptrdiff_t>(std::min(blockSize, samples.size() - at))), {}, {}});
    }
  }

 private:
  const std::vector<double>& samples;
  std::size_t blockSize;
};

// The last stage: keeps what reaches it.
class Collector : public Stage {
 public:
  explicit Collector(std::vector<double>* sums) : sums(sums) {}
  void step(SampleBlock&& block, BlockSink&) override {
    samples.insert(samples.end(), block.samples.begin(), block.samples.end());
    if (sums != nullptr) {
      sums->insert(sums->end(), block.windowSums.begin(), block.windowSums.end());
    }
  }
  void drain(BlockSink&) override {}
  std::vector<double> samples;
  std::vector<double>* sums;
};

}  // namespace

std::vector<double> throughStages(const std::vector<Stage*>& stages, const std::vector<double>& samples,
                                  std::size_t blockSize, std::vector<double>* sums) {
  Source source(samples, blockSize);
  Collector collector(sums);
  StageChain chain;
  chain.add(source);
  for (Stage* stage : stages) {
    chain.add(*stage);
  }
  chain.add(collector);
  chain.run(3);  // past the measured blocks, the stages run on threads of their own
  for (std::size_t stage = 0; stage < stages.size() + 2; ++stage) {
    EXPECT_FALSE(chain.outcome(stage)) << stage;
  }
  return collector.samples;
}

const ProgramUnderTest& programUnderTest() {
  static const ProgramUnderTest program = [] {
    ProgramUnderTest p;
    // VELMORA_RUN_WRAPPER, such as "valgrind --error-exitcode=1 -q", runs the program under a tool.
    std::istringstream wrapper(std::getenv("VELMORA_RUN_WRAPPER") != nullptr ? std::getenv("VELMORA_RUN_WRAPPER") : "");
    for (std::string word; wrapper >> word;) {
      p.command.push_back(word);
    }
    const char* windows = std::getenv("VELMORA_WINDOWS_PROGRAM");
    p.name = windows != nullptr ? fs::absolute(windows).string() : VELMORA_PROGRAM;
    p.command.push_back(p.name);
    if (windows != nullptr) {
      p.command.insert(p.command.begin(), "wine");
      std::replace(p.name.begin(), p.name.end(), '/', '\\');
      p.name = "Z:" + p.name;
      p.windows = true;
    }
    return p;
  }();
  return program;
}

// Under CR LF: drops the CR of each CR LF and marks any bare LF, for the comparison to show it.
std::string withPlainLineEnds(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      plain += "[bare LF]";
    }
    plain += text.compare(i, 2, "\r\n") == 0 ? "" : text.substr(i, 1);
  }
  return plain;
}

namespace {

// A copy of the program that nobody may start, wherever the build lies (root's home folder is closed to others).
std::string programForNobody() {
  static const TempDir folder;
  static const std::string copy = [] {
    fs::permissions(folder.path(), fs::perms(0755));
    const fs::path path = folder / "velmora";
    fs::copy_file(programUnderTest().name, path);
    fs::permissions(path, fs::perms(0755));
    return path.string();
  }();
  return copy;
}

void limit(int resource, long value) {
  const rlimit bound{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
  setrlimit(resource, &bound);
}

}  // namespace

RunningProgram::RunningProgram(const fs::path& folder, const std::vector<std::string>& arguments,
                               const std::string& input, const Limits& limits) {
  std::vector<std::string> command = programUnderTest().command;
  if (limits.asNobody) {
    command.back() = programForNobody();
  }
  command.insert(command.end(), arguments.begin(), arguments.end());
  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
    return;
  }
  int errors = -1;
  if (limits.errorsToTerminal && openpty(&terminal, &errors, nullptr, nullptr, nullptr) != 0) {
    return;
  }
  child = fork();
  if (child == 0) {
    if (errors >= 0 || limits.errorsToFile != nullptr) {
      dup2(errors >= 0 ? errors : open(limits.errorsToFile, O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    }
    dup2(toChild[0], 0);
    dup2(limits.console != nullptr ? open(limits.console, O_WRONLY | O_APPEND | O_CREAT, 0644) : fromChild[1], 1);
    if (limits.closedConsole) {
      close(1);
    }
    close(toChild[1]);
    close(fromChild[0]);
    limit(RLIMIT_CORE, 0);  // a signal that dumps core leaves no file behind
    if (limits.fileSize >= 0) {
      limit(RLIMIT_FSIZE, limits.fileSize);
    }
    if (limits.asNobody && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)) {
      _exit(126);
    }
    if (limits.temporaryFolder != nullptr) {
      setenv("TMPDIR", limits.temporaryFolder, 1);
    }
    if (limits.processes > 0) {
      limit(RLIMIT_NPROC, limits.processes);  // after the change of user, which the limit would refuse
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // the leak check at exit needs a thread of its own
    }
    std::vector<char*> argv;
    for (std::string& argument : command) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    if (chdir(folder.c_str()) == 0) {
      execvp(argv[0], argv.data());
    }
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  if (errors >= 0) {
    close(errors);
  }
  const ssize_t written = write(toChild[1], input.data(), input.size());
  close(toChild[1]);
  output = written < 0 ? -1 : fromChild[0];
}

bool RunningProgram::isRunning() const {
  siginfo_t info{};
  return child > 0 && waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

RunResult RunningProgram::finish(std::size_t lines) {
  if (child < 0 || output < 0) {
    return {"could not start the program", -1000};
  }
  std::string out;
  char buffer[65536];
  std::size_t seen = 0;
  for (ssize_t n; seen < lines && (n = read(output, buffer, sizeof buffer)) > 0;) {
    seen += static_cast<std::size_t>(std::count(buffer, buffer + n, '\n'));
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(output);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (programUnderTest().windows) {
    out = withPlainLineEnds(out);
  }
  const int ending = WIFEXITED(status) ? WEXITSTATUS(status) : (WIFSIGNALED(status) ? -WTERMSIG(status) : -1000);
  std::string errors;
  for (ssize_t n; terminal >= 0 && (n = read(terminal, buffer, sizeof buffer)) > 0;) {  // the end: EIO
    errors.append(buffer, static_cast<std::size_t>(n));
  }
  if (terminal >= 0) {
    close(terminal);
  }
  return {out, ending, usage.ru_maxrss * 1024L, errors};
}

}  // namespace velmora::test
