#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

// Interruptions at random moments leave the previous output intact or the complete new one, and nothing else.
TEST(InterruptedSave, LeavesThePreviousOutputOrTheCompleteNewOne) {
  if (programUnderTest().windows) {
    GTEST_SKIP() << "POSIX signals do not reach a Windows program under Wine";
  }
  const TempDir dir;
  const std::vector<double> x = music(4000000);
  writeFile(dir / "in.wav", wavBytes({}, encoded(x, 16)));
  double y = 0.0;
  const Bytes complete = wavBytes({}, encoded(referenceBass(x, y), 16));
  const Bytes previous(1000, 7);
  std::mt19937 random(2024);
  std::chrono::microseconds whole{0};
  int interrupted = 0;
  for (int run = 0; run < 32; ++run) {
    writeFile(dir / "out.wav", previous);
    const int signal = std::array{SIGTERM, SIGINT, SIGHUP, SIGQUIT}[static_cast<std::size_t>(run % 4)];
    const auto start = std::chrono::steady_clock::now();
    RunningProgram program(dir.path(), {"-b", "in.wav"});
    if (run > 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(
          std::uniform_int_distribution<long>(0, whole.count() * 6 / 5)(random)));
      kill(program.pid(), signal);
    }
    const RunResult result = program.finish();
    if (run == 0) {
      whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    }
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"})) << "run " << run;
    const Bytes out = readFile(dir / "out.wav");
    if (result.status == -signal) {
      ++interrupted;
      EXPECT_TRUE(out == previous || out == complete) << "run " << run;
    } else {
      EXPECT_EQ(result.status, 0) << "run " << run;
      EXPECT_TRUE(out == complete) << "run " << run;
    }
  }
  EXPECT_GT(interrupted, 0);

  // A target written in place through a link, interrupted once its copy has begun: the copy ends first.
  writeFile(dir / "t.wav", previous);
  std::filesystem::create_symlink("t.wav", dir / "link.wav");
  for (const int signal : {SIGINT, SIGTERM}) {
    writeFile(dir / "t.wav", previous);
    RunningProgram program(dir.path(), {"-b", "-o", "link.wav", "in.wav"});
    while (program.isRunning() && std::filesystem::file_size(dir / "t.wav") == previous.size()) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    kill(program.pid(), signal);
    const int status = program.finish().status;
    EXPECT_TRUE(status == -signal || status == 0) << status;  // 0: it had ended by then
    EXPECT_TRUE(readFile(dir / "t.wav") == complete);
  }
  std::filesystem::remove(dir / "link.wav");
  std::filesystem::remove(dir / "t.wav");

  // A console whose reader leaves (`| head -3`, or -2 while the samples are worked on): SIGPIPE or the end, one file.
  for (const std::size_t lines : {2, 3, 3, 3}) {
    writeFile(dir / "out.wav", previous);
    const RunResult result = RunningProgram(dir.path(), {"-b", "in.wav"}).finish(lines);
    EXPECT_TRUE(result.status == -SIGPIPE || result.status == 0) << result.status;
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"})) << lines;
    const Bytes out = readFile(dir / "out.wav");
    EXPECT_TRUE(out == complete || (out == previous && result.status == -SIGPIPE)) << lines;
    EXPECT_TRUE(lines > 2 || (out == previous) == (result.status == -SIGPIPE)) << lines;
  }

  // A hang-up that was ignored when the program started (as under nohup) stays ignored.
  writeFile(dir / "out.wav", previous);
  const auto hangUp = std::signal(SIGHUP, SIG_IGN);
  RunningProgram program(dir.path(), {"-b", "in.wav"});
  std::signal(SIGHUP, hangUp);
  std::this_thread::sleep_for(whole / 3);
  kill(program.pid(), SIGHUP);
  EXPECT_EQ(program.finish().status, 0);
  EXPECT_TRUE(readFile(dir / "out.wav") == complete);
}

}  // namespace
}  // namespace velmora::test
