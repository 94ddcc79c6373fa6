#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

void expectFailedSave(const TempDir& dir, const RunResult& result, const std::string& message, const Bytes& previous) {
  EXPECT_TRUE(result.out.ends_with(message)) << result.out;
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(readFile(dir / "out.wav"), previous);
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

// A file size limit stops the save at each of its writes: the header, the chunk header, the samples.
TEST(FullDisk, AFailedSaveReportsItKeepsThePreviousOutputAndLeavesNoTemporaryFile) {
  if (programUnderTest().command.size() > 1) {
    GTEST_SKIP() << "a file size limit reaches only a program run directly, not under Wine or a run wrapper";
  }
  const TempDir dir;
  writeFile(dir / "in.wav", wavBytes({}, pcm16({1, 2, 3, 4, 5, 6})));
  const Bytes previous(1000, 42);  // larger than any limit: the limit applies to new writes only
  for (const auto& [limit, message] : {std::pair{20, "Error writing wav!\n"}, {40, "Error writing chk!\n"},
                                       {50, "Error writing buffer!\n"}}) {
    writeFile(dir / "out.wav", previous);
    expectFailedSave(dir, runProgram(dir.path(), {"-b", "in.wav"}, "", limit), message, previous);
  }
}

// A real full file system (a 256 KiB tmpfs), which also reaches the Windows program under Wine.
TEST(FullDisk, AFullFileSystemFailsTheSaveTheSameWay) {
  const TempDir dir;
  if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs (it needs root): " << std::strerror(errno);
  }
  writeFile(dir / "in.wav", wavBytes({}, pcm16(std::vector<int>(100000, 1000))));
  const Bytes previous(1000, 42);
  writeFile(dir / "out.wav", previous);
  expectFailedSave(dir, runProgram(dir.path(), {"-b", "in.wav"}), "Error writing buffer!\n", previous);
  umount(dir.path().c_str());
}

}  // namespace
}  // namespace velmora::test
