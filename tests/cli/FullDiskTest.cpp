#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

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
                                       {50L, "Error writing buffer!\n"}, {200044L, "Error writing buffer!\n"},
                                       {400040L, "Error writing buffer!\n"}}) {
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
    EXPECT_TRUE(result.out.ends_with("outa=2600 outb=2600 n=" + std::to_string(samples / 2) + "\nError writing buffer!\n"))
        << result.out.substr(result.out.size() - 200);
    EXPECT_EQ(result.status, 255);
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

}  // namespace
}  // namespace velmora::test
