#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// A file size limit fails the save at each of its writes, after every line of the run; the previous output stays.
TEST(FullDisk, AFailedSaveReportsItKeepsThePreviousOutputAndLeavesNoTemporaryFile) {
  if (programUnderTest().command.size() > 1) {
    GTEST_SKIP() << "a file size limit reaches only a program run directly, not under Wine or a run wrapper";
  }
  const TempDir dir;
  const std::vector<double> x = music(200001);
  writeFile(dir / "in.wav", wavBytes({}, encoded(x, 16)));
  double y = 0;
  const std::string lines = startup + " Number of Samples = 200001\nCompressing: in.wav\nnew no of samples = 200000\n"
                            "Boosting bass\n" + bassLines(referenceBass(referenceCompressor(x, {}, 44100), y));
  const Bytes previous(500000, 42);  // larger than any limit: the limit applies to new writes only
  for (const auto& [limit, message] : {std::pair{20L, "Error writing wav!\n"}, {40L, "Error writing chk!\n"},
                                       {50L, "Error writing buffer!\n"}, {400040L, "Error writing buffer!\n"}}) {
    writeFile(dir / "out.wav", previous);
    const RunResult result = runProgram(dir.path(), {"-c", "-b", "in.wav"}, "", {.fileSize = limit});
    EXPECT_EQ(std::make_tuple(result.out, result.status), std::make_tuple(lines + message, 255));
    EXPECT_EQ(readFile(dir / "out.wav"), previous);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
  }
}

// A full tmpfs fails a spool that does not fit, and an in-place target that would not, before it is touched.
TEST(FullDisk, AFullFileSystemFailsTheSaveBeforeTheTargetIsTouched) {
  const TempDir dir;
  const fs::path disk = dir / "disk";
  fs::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs (it needs root): " << std::strerror(errno);
  }
  writeFile(disk / "out.wav", Bytes(1000, 42));
  writeFile(disk / "t.wav", Bytes(10000, 42));
  if (!programUnderTest().windows) {
    fs::create_symlink("t.wav", disk / "link.wav");
  }
  for (const auto& [samples, target] : {std::pair{150000, "disk/out.wav"}, {75000, "disk/link.wav"}}) {
    if (programUnderTest().windows && std::string(target) == "disk/link.wav") {
      continue;
    }
    writeFile(dir / "in.wav", wavBytes({}, pcm16(std::vector<int>(static_cast<std::size_t>(samples), 1000))));
    const RunResult result = runProgram(dir.path(), {"-b", "-o", target, "in.wav"});
    EXPECT_TRUE(result.out.ends_with("outa=2600 outb=2600 n=" + std::to_string(samples / 2) + "\nError writing buffer!\n") &&
                result.status == 255) << result.out.substr(result.out.size() - 200);
  }
  EXPECT_EQ(readFile(disk / "out.wav"), Bytes(1000, 42));
  EXPECT_EQ(readFile(disk / "t.wav"), Bytes(10000, 42));
  if (!programUnderTest().windows) {  // standard output appended to a file there: its lines, and no part of a file
    const std::string console = disk / "log.txt";
    writeFile(console, Bytes(1000, 42));
    EXPECT_EQ(runProgram(dir.path(), {"-b", "-o", "/dev/stdout", "in.wav"}, "", {.console = console.c_str()}).status, 255);
    const Bytes log = readFile(disk / "log.txt");
    EXPECT_TRUE(std::string(log.begin() + 1000, log.end()).ends_with("n=37500\nError writing buffer!\n"));
  }
  EXPECT_EQ(namesIn(disk).size(), programUnderTest().windows ? 2u : 4u);
  umount(disk.c_str());
}

// The bytes a process has read so far, from the kernel's count.
long bytesReadBy(int pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string field;
  long value = 0;
  while (io >> field >> value && field != "rchar:") {
  }
  return value;
}

// A file cut short while it is read fails its load alone; the previous output stays, and no temporary file.
TEST(DamagedFile, AFileCutShortWhileItIsReadFailsItsLoadAlone) {
  if (programUnderTest().windows) {
    GTEST_SKIP() << "a file cut while Wine starts the program may not be read at all";
  }
  const TempDir dir;
  writeFile(dir / "in.wav", wavBytes({}, pcm16(std::vector<int>(30000000, 1000))));  // about 0.3 s of work
  writeFile(dir / "out.wav", {1, 2, 3});
  RunningProgram program(dir.path(), {"-c", "-b", "in.wav"});
  while (program.isRunning() && bytesReadBy(program.pid()) < 2000000) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // leaves the cores to the program
  }
  fs::resize_file(dir / "in.wav", 1000000);
  const RunResult result = program.finish();
  EXPECT_EQ(std::make_tuple(result.out, result.status), std::make_tuple(startup + "Can't read signal data\n\n", 255));
  EXPECT_EQ(readFile(dir / "out.wav"), Bytes({1, 2, 3}));
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

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
  fs::create_symlink("t.wav", dir / "link.wav");
  for (const int signal : {SIGINT, SIGTERM}) {
    writeFile(dir / "t.wav", previous);
    RunningProgram program(dir.path(), {"-b", "-o", "link.wav", "in.wav"});
    while (program.isRunning() && fs::file_size(dir / "t.wav") == previous.size()) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    kill(program.pid(), signal);
    const int status = program.finish().status;
    EXPECT_TRUE(status == -signal || status == 0) << status;  // 0: it had ended by then
    EXPECT_TRUE(readFile(dir / "t.wav") == complete);
  }
  fs::remove(dir / "t.wav");

  // A link to a file not yet there, killed the moment the file's name appears: the file is whole.
  for (int run = 0; run < 3; ++run) {
    RunningProgram program(dir.path(), {"-b", "-o", "link.wav", "in.wav"});
    while (program.isRunning() && !fs::exists(dir / "t.wav")) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    kill(program.pid(), SIGKILL);
    program.finish();
    EXPECT_TRUE(readFile(dir / "t.wav") == complete) << "run " << run;
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "link.wav", "out.wav", "t.wav"}));
    fs::remove(dir / "t.wav");
  }
  fs::remove(dir / "link.wav");

  // A reader waiting on a named pipe for the output is let go by an interruption, with no byte.
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0666), 0);
  auto received = std::async(std::launch::async, [&] { return readFile(dir / "pipe"); });
  RunningProgram piped(dir.path(), {"-b", "-o", "pipe", "in.wav"});
  while (piped.isRunning() && bytesReadBy(piped.pid()) < 1000000) {  // long before its save
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(piped.pid(), SIGTERM);
  EXPECT_EQ(piped.finish().status, -SIGTERM);
  const bool letGo = received.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  close(letGo ? -1 : open((dir / "pipe").c_str(), O_WRONLY | O_NONBLOCK));  // else let it go here, for the test to end
  EXPECT_TRUE(letGo && received.get().empty());
  RunningProgram unread(dir.path(), {"-b", "-o", "pipe", "in.wav"});  // and with no reader, it ends as well
  kill(unread.pid(), SIGTERM);
  EXPECT_EQ(unread.finish().status, -SIGTERM);
  fs::remove(dir / "pipe");

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
