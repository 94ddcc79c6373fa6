#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

// SIGTERM, SIGINT and SIGHUP sent at varied moments while the output is being saved: after each
// run the folder holds the input and either the previous output, intact, or the complete new one.
// The first run is left alone, so its 8 MB, several read and write blocks, must be the new file.
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
  int interrupted = 0;
  for (int run = 0; run < 24; ++run) {
    writeFile(dir / "out.wav", previous);
    const int signal = std::array{SIGTERM, SIGINT, SIGHUP}[static_cast<std::size_t>(run % 3)];
    RunningProgram program(dir.path(), {"-b", "in.wav"});
    while (namesIn(dir.path()).size() < 3 && program.isRunning()) {  // until the temporary file appears
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(700 * run));
    kill(program.pid(), run > 0 ? signal : 0);  // 0 sends nothing
    const RunResult result = program.finish();
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
}

}  // namespace
}  // namespace velmora::test
