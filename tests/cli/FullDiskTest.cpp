#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

void expectFailedSave(const TempDir& dir, const RunResult& result, const std::string& out, const Bytes& previous) {
  EXPECT_EQ(result.out, out);
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(readFile(dir / "out.wav"), previous);
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

// A file size limit stops the save at each of its writes: the header, the chunk header, and the
// samples in the first, a middle and the last block. Every line of the run comes before the
// message, and the previous output stays.
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
                                       {50L, "Error writing buffer!\n"}, {200044L, "Error writing buffer!\n"},
                                       {400040L, "Error writing buffer!\n"}}) {
    writeFile(dir / "out.wav", previous);
    expectFailedSave(dir, runProgram(dir.path(), {"-c", "-b", "in.wav"}, "", {.fileSize = limit}), lines + message, previous);
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
  const RunResult result = runProgram(dir.path(), {"-b", "in.wav"});
  EXPECT_TRUE(result.out.ends_with("@i=49999 outa=2600 outb=2600 n=50000\nError writing buffer!\n")) << result.out;
  expectFailedSave(dir, result, result.out, previous);
  umount(dir.path().c_str());
}

}  // namespace
}  // namespace velmora::test
