#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

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
  std::filesystem::resize_file(dir / "in.wav", 1000000);
  const RunResult result = program.finish();
  EXPECT_EQ(result.out, startup + "Can't read signal data\n\n");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(readFile(dir / "out.wav"), Bytes({1, 2, 3}));
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

}  // namespace
}  // namespace velmora::test
