#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

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

  const std::vector<double> x = music(1000001);  // many blocks: a reader that reads ahead is still reading
  const Bytes input = wavBytes({}, encoded(x, 16));
  Bytes expected;
  TempDir dir;
};

// Run as nobody: a write-only target is written; a read-only one is refused before anything is
// written; a writable target in a folder nobody may not write to is written in place, also when it
// is the input itself, which loses no byte before it has been read.
TEST_F(SaveTarget, AnUnprivilegedUserWritesWhatItMayAndNothingElse) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "running the program as nobody needs root";
  }
  EXPECT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const fs::path open = folder("open", true);
  ownedFile(open / "w.wav", {1, 2, 3}, nobody, 0200);
  EXPECT_EQ(runProgram(open, {"-b", "-o", "w.wav", "in.wav"}, "", -1, true).status, 0);
  EXPECT_EQ(readFile(open / "w.wav"), expected);
  ownedFile(open / "r.wav", {1, 2, 3}, nobody, 0444);
  const RunResult refused = runProgram(open, {"-b", "-o", "r.wav", "in.wav"}, "", -1, true);
  EXPECT_TRUE(refused.out.ends_with("n=500000\nI/O error\n")) << refused.out;
  EXPECT_EQ(refused.status, 255);
  EXPECT_EQ(readFile(open / "r.wav"), Bytes({1, 2, 3}));
  EXPECT_EQ(namesIn(open), (std::vector<std::string>{"in.wav", "r.wav", "w.wav"}));

  const fs::path closed = folder("closed", false);
  ownedFile(closed / "t.wav", Bytes(300000, 9), nobody, 0644);
  ownedFile(closed / "a.wav", input, nobody, 0644);
  for (const std::string target : {"t.wav", "a.wav"}) {
    EXPECT_EQ(runProgram(closed, {"-b", "-o", target, target == "a.wav" ? "a.wav" : "in.wav"}, "", -1, true).status, 0);
    EXPECT_EQ(readFile(closed / target), expected) << target;
  }
  EXPECT_EQ(namesIn(closed), (std::vector<std::string>{"a.wav", "in.wav", "t.wav"}));
}

// Saving to the program's own standard output, a pipe: the file's bytes come after every line
// printed before the save and before the summary, as when the whole file was written at once.
TEST_F(SaveTarget, StandardOutputGetsTheFileBetweenTheLines) {
  writeFile(dir / "in.wav", input);
  double y = 0;
  const std::vector<double> boosted = referenceBass(x, y);
  const RunResult result = runProgram(dir.path(), {"-b", "-o", "/dev/stdout", "in.wav"});
  EXPECT_EQ(result.status, 0);
  const std::string before = startup + " Number of Samples = 1000001\nBoosting bass\n" + bassLines(boosted);
  const std::string after = "\nSaved WAV File: /dev/stdout\n Sample Rate = (Hz) 44100\n Number of Samples = 1000000\n"
                            " Bits Per Sample = 16\n Number of Channels = 2\n";
  EXPECT_EQ(result.out, before + std::string(expected.begin(), expected.end()) + after);
}

// A link that another user planted in a shared sticky folder is not followed when the kernel
// protects such folders: the save fails as any refused open does, and the file it names stays.
// The protection is switched on for the test where root may, as most systems have it.
TEST_F(SaveTarget, ALinkPlantedInAStickyFolderIsNotFollowed) {
  const char* const setting = "/proc/sys/fs/protected_symlinks";
  std::string before;
  std::getline(std::ifstream(setting), before);
  std::ofstream(setting) << "1\n";
  std::string now;
  std::getline(std::ifstream(setting), now);
  if (geteuid() != 0 || now != "1") {
    GTEST_SKIP() << "needs root and the kernel's protection of links in sticky folders";
  }
  writeFile(dir / "in.wav", input);
  writeFile(dir / "victim.wav", {1, 2, 3});
  fs::create_directory(dir / "shared");
  EXPECT_EQ(chmod((dir / "shared").c_str(), 01777), 0);
  fs::create_symlink("../victim.wav", dir / "shared" / "out.wav");
  EXPECT_EQ(lchown((dir / "shared" / "out.wav").c_str(), nobody, nobody), 0);
  const RunResult result = runProgram(dir.path(), {"-o", "shared/out.wav", "in.wav"});
  EXPECT_TRUE(result.out.ends_with("No new data to output!\nI/O error\n")) << result.out;
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(readFile(dir / "victim.wav"), Bytes({1, 2, 3}));
  EXPECT_EQ(namesIn(dir / "shared"), std::vector<std::string>{"out.wav"});
  std::ofstream(setting) << before << "\n";
}

}  // namespace
}  // namespace velmora::test
