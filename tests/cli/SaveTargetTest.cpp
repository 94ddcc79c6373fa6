#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class SaveTarget : public ::testing::Test {
 protected:
  void SetUp() override {
    if (programUnderTest().windows) {
      GTEST_SKIP() << "POSIX owners, modes and pipes";
    }
    double y = 0;
    expected = wavBytes({}, encoded(referenceBass(x, y), 16));
    EXPECT_EQ(chmod(dir.path().c_str(), 0755), 0);
  }
  // A folder of dir owned by nobody, or by root and closed to others, holding the input.
  fs::path folder(const std::string& name, bool nobodys) {
    const fs::path path = dir / name;
    fs::create_directory(path);
    fs::permissions(path, fs::perms(0755));  // whatever the umask
    writeFile(path / "in.wav", input);
    EXPECT_EQ(chown(path.c_str(), nobodys ? nobody : 0, nobodys ? nobody : 0), 0);
    return path;
  }

  const std::vector<double> x = music(2600001);  // past the blocks the chain measures before it starts threads
  const Bytes input = wavBytes({}, encoded(x, 16));
  Bytes expected;
  TempDir dir;
};

// As nobody: a write-only target is written, a read-only one refused, one in a closed folder written in place.
TEST_F(SaveTarget, AnUnprivilegedUserWritesWhatItMayAndNothingElse) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "running the program as nobody needs root";
  }
  const fs::path open = folder("open", true);
  ownedFile(open / "w.wav", {1, 2, 3}, nobody, 0200);
  EXPECT_EQ(runProgram(open, {"-b", "-o", "w.wav", "in.wav"}, "", {.asNobody = true}).status, 0);
  EXPECT_EQ(readFile(open / "w.wav"), expected);
  ownedFile(open / "r.wav", {1, 2, 3}, nobody, 0444);
  const RunResult refused = runProgram(open, {"-b", "-o", "r.wav", "in.wav"}, "", {.asNobody = true});
  EXPECT_TRUE(refused.out.ends_with("n=1300000\nI/O error\n") && refused.status == 255) << refused.out;
  EXPECT_EQ(readFile(open / "r.wav"), Bytes({1, 2, 3}));
  EXPECT_EQ(namesIn(open), (std::vector<std::string>{"in.wav", "r.wav", "w.wav"}));

  const fs::path closed = folder("closed", false);
  ownedFile(closed / "t.wav", Bytes(300000, 9), nobody, 0644);
  ownedFile(closed / "a.wav", input, nobody, 0644);
  for (const std::string target : {"t.wav", "a.wav"}) {
    EXPECT_EQ(runProgram(closed, {"-b", "-o", target, target == "a.wav" ? "a.wav" : "in.wav"}, "", {.asNobody = true}).status, 0);
    EXPECT_EQ(readFile(closed / target), expected) << target;
  }
  EXPECT_EQ(namesIn(closed), (std::vector<std::string>{"a.wav", "in.wav", "t.wav"}));

  // Under a limit of its user's processes the stages share what threads there are, down to the calling thread.
  double y = 0;  // a file long enough for threads, against the definition
  const Bytes reference = wavBytes({}, encoded(referenceBass(referenceCompressor(x, {}, 44100), y), 16));
  const RunResult unlimited = runProgram(open, {"-c", "-b", "-o", "w.wav", "in.wav"}, "", {.asNobody = true});
  for (const int processes : {0, 1, 2, 3, 4}) {  // 0: no limit
    const RunResult limited = runProgram(open, {"-c", "-b", "-o", "w.wav", "in.wav"}, "", {.processes = processes, .asNobody = true});
    EXPECT_TRUE(limited.out == unlimited.out && limited.status == 0 && readFile(open / "w.wav") == reference) << processes;
  }
}

// A run that fails after its stages started leaves every target as it was; a success writes in place at its end.
TEST_F(SaveTarget, InPlaceTargetsAreWrittenOnlyOnceTheRunHasSucceeded) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "running the program as nobody needs root";
  }
  writeFile(dir / "neg.wav", wavBytes({.channels = 1, .rate = -8000}, encoded(music(300001), 16)));
  const Bytes previous = {1, 2, 3};
  writeFile(dir / "real.wav", previous);
  fs::create_symlink("real.wav", dir / "link.wav");
  fs::create_hard_link(ownedFile(dir / "one.wav", previous, 0, 0644), dir / "two.wav");
  ownedFile(folder("closed", false) / "t.wav", previous, 0, 0666);
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0666), 0);
  ASSERT_EQ(mkfifo((dir / "out.wav").c_str(), 0666), 0);
  const auto names = namesIn(dir.path());
  const std::string failure = startup + "twnd=-10\n Number of Samples = 300001\nCompressing: neg.wav\n"
                              "future::input file not ready (or not loaded)!!!\nerror handling neg.wav\n"
                              "nosamples=300001 curpos=2 offset=-8\n";
  for (int run = 0; run < 6; ++run) {
    const std::string target = std::array{"link.wav", "two.wav", "closed/t.wav", "pipe", "pipe", "out.wav"}[run];
    const bool missing = run == 5;  // a failure before the output, the default one, is ever opened
    std::thread reader;
    if (run > 3) {  // a reader waiting in its open, which the failed run lets go with no byte
      std::atomic<pid_t> task{0};
      reader = std::thread([&] {
        task = gettid();
        EXPECT_EQ(readFile(dir / target), Bytes());
      });
      for (std::string call; call != std::to_string(SYS_openat);) {
        std::ifstream("/proc/self/task/" + std::to_string(task) + "/syscall") >> call;
      }
    }
    const RunResult result = runProgram(dir.path(), missing ? std::vector<std::string>{"-w", "-10", "missing.wav"}
                                                            : std::vector<std::string>{"-w", "-10", "-c", "-b", "-o", target, "neg.wav"},
                                        "", {.asNobody = target == "closed/t.wav"});
    EXPECT_EQ(std::make_tuple(result.out, result.status),
              missing ? std::make_tuple(startup + "twnd=-10\nI/O error\n", 255) : std::make_tuple(failure, 1)) << target;
    reader.joinable() ? reader.join() : void();
  }
  for (const std::string file : {"real.wav", "one.wav", "closed/t.wav"}) {
    EXPECT_EQ(readFile(dir / file), previous) << file;
  }
  EXPECT_EQ(namesIn(dir.path()), names);

  writeFile(dir / "in.wav", input);
  Bytes received;  // a reader that takes the whole file, far more than the pipe holds
  std::thread whole([&] { received = readFile(dir / "pipe"); });
  EXPECT_EQ(runProgram(dir.path(), {"-b", "-o", "pipe", "in.wav"}).status, 0);
  whole.join();
  EXPECT_TRUE(received == expected);
  std::thread leaving([&] {
    const int early = open((dir / "pipe").c_str(), O_RDONLY);
    std::array<char, 1000> bytes{};
    for (std::size_t taken = 0; taken < bytes.size();) {
      taken += static_cast<std::size_t>(std::max<ssize_t>(read(early, bytes.data() + taken, bytes.size() - taken), 0));
    }
    close(early);
  });
  const RunResult broken = runProgram(dir.path(), {"-b", "-o", "pipe", "in.wav"});
  leaving.join();
  EXPECT_TRUE(broken.out.ends_with("n=1300000\nError writing buffer!\n") && broken.status == 255) << broken.out;
}

// Two runs saving in place onto one file take turns: one stopped in the middle of its copy holds the other off.
TEST_F(SaveTarget, TwoRunsSavingInPlaceOntoOneFileTakeTurns) {
  const std::vector<double> other = music(x.size(), 9000);
  writeFile(dir / "a.wav", input);
  writeFile(dir / "b.wav", wavBytes({}, encoded(other, 16)));
  double y = 0;
  const Bytes fromB = wavBytes({}, encoded(referenceBass(other, y), 16));
  fs::create_symlink("t.wav", dir / "link.wav");
  for (int run = 0; run < 3; ++run) {
    writeFile(dir / "t.wav", {1, 2, 3});
    RunningProgram a(dir.path(), {"-b", "-o", "link.wav", "a.wav"});
    while (a.isRunning() && fs::file_size(dir / "t.wav") <= 44) {  // its samples begin to arrive
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    kill(a.pid(), SIGSTOP);
    RunningProgram b(dir.path(), {"-b", "-o", "link.wav", "b.wav"});
    for (std::string call; b.isRunning() && call != std::to_string(SYS_flock);) {  // b ends, or waits for a
      std::ifstream("/proc/" + std::to_string(b.pid()) + "/syscall") >> call;
    }
    kill(a.pid(), SIGCONT);
    EXPECT_EQ(std::make_pair(a.finish().status, b.finish().status), std::make_pair(0, 0));
    const Bytes saved = readFile(dir / "t.wav");
    EXPECT_TRUE(saved == fromB) << "run " << run << (saved == expected ? ": the first run's output" : ": mixed");
  }
}

// Standard output gets the file's bytes between the lines; a console that takes no line loses the lines, not the run.
TEST_F(SaveTarget, StandardOutputGetsTheFileBetweenTheLines) {
  writeFile(dir / "in.wav", input);
  double y = 0;
  const std::vector<double> boosted = referenceBass(x, y);
  const bool root = geteuid() == 0;  // then run as nobody from a folder that takes no spool
  const RunResult result = runProgram(root ? folder("closed", false) : dir.path(), {"-b", "-o", "/dev/stdout", "in.wav"},
                                      "", {.asNobody = root, .temporaryFolder = "/gone"});
  EXPECT_EQ(runProgram(dir.path(), {"-b", "-o", "full.wav", "in.wav"}, "", {.console = "/dev/full"}).status, 0);
  EXPECT_EQ(readFile(dir / "full.wav"), expected);
  writeFile(dir / "own.wav", input);  // a closed one: no file the program opens is taken for it
  EXPECT_EQ(runProgram(dir.path(), {"-b", "-o", "own.wav", "own.wav"}, "", {.closedConsole = true}).status, 0);
  EXPECT_EQ(readFile(dir / "own.wav"), expected);
  EXPECT_EQ(result.status, 0);
  const std::string before = startup + " Number of Samples = 2600001\nBoosting bass\n" + bassLines(boosted);
  const std::string after = "\nSaved WAV File: /dev/stdout\n Sample Rate = (Hz) 44100\n Number of Samples = 2600000\n"
                            " Bits Per Sample = 16\n Number of Channels = 2\n";
  EXPECT_EQ(result.out, before + std::string(expected.begin(), expected.end()) + after);
  writeFile(dir / "log.txt", {'-', '\n'});  // standard output appended to a file: after what it held and the lines
  EXPECT_EQ(runProgram(dir.path(), {"-b", "-o", "/dev/stdout", "in.wav"}, "", {.console = (dir / "log.txt").c_str()}).status, 0);
  const Bytes log = readFile(dir / "log.txt");
  EXPECT_TRUE(std::string(log.begin(), log.end()) == "-\n" + before + std::string(expected.begin(), expected.end()) + after);
}

}  // namespace
}  // namespace velmora::test
