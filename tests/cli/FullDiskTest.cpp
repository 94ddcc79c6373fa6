#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Mounts a 256 KiB tmpfs on a folder while alive.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const fs::path& folder) : where(folder) {
    fs::create_directory(where);
    mounted = mount("tmpfs", where.c_str(), "tmpfs", 0, "size=256k") == 0;
    reason = mounted ? "" : std::strerror(errno);
  }
  ~SmallFileSystem() {
    if (mounted) {
      umount(where.c_str());
    }
  }
  bool mounted;
  std::string reason;

 private:
  fs::path where;
};

// Writes zeros to path until the file system refuses more.
void fillUp(const fs::path& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  const Bytes block(4096, 0);
  while (write(fd, block.data(), block.size()) > 0) {
  }
  close(fd);
}

TEST(FullDisk, AFailedSaveReportsItKeepsThePreviousOutputAndLeavesNoTemporaryFile) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "mounting a small tmpfs needs root; run the tests as root to include this one";
  }
  const TempDir dir;
  const SmallFileSystem small(dir / "small");
  if (!small.mounted) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << small.reason;
  }
  writeFile(dir / "in.wav", wavBytes({}, pcm16(std::vector<int>(200000, 1000))));
  const Bytes previous(1000, 42);
  writeFile(dir / "small" / "out.wav", previous);
  fillUp(dir / "small" / "filler");
  const std::vector<std::pair<std::string, std::vector<std::string>>> stages = {
      {"Error writing wav!\n", {"filler", "out.wav"}},  // not even the header fits
      {"Error writing buffer!\n", {"out.wav"}},         // the header fits, the samples do not
  };
  for (const auto& [message, names] : stages) {
    fs::remove(dir / "small" / "filler");
    if (names.size() == 2) {
      fillUp(dir / "small" / "filler");
    }
    const RunResult result = runProgram(dir.path(), {"-b", "-o", "small/out.wav", "in.wav"});
    EXPECT_TRUE(result.out.ends_with(message)) << result.out;
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(readFile(dir / "small" / "out.wav"), previous);
    EXPECT_EQ(namesIn(dir / "small"), names);
  }
}

// The one failure a full file system cannot produce (it grants whole pages): room for the 36-byte
// header but not for the 8-byte chunk header after it.
TEST(FullDisk, RoomForTheHeaderButNotForTheChunkHeader) {
  if (programUnderTest().command.size() > 1) {
    GTEST_SKIP() << "a file size limit reaches only a program run directly, not under Wine or a run wrapper";
  }
  const TempDir dir;
  writeFile(dir / "in.wav", wavBytes({}, pcm16({1, 2})));
  writeFile(dir / "out.wav", {'o', 'l', 'd'});
  const RunResult result = runProgram(dir.path(), {"-b", "in.wav"}, "", 40);
  EXPECT_TRUE(result.out.ends_with("Error writing chk!\n")) << result.out;
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(readFile(dir / "out.wav"), Bytes({'o', 'l', 'd'}));
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

}  // namespace
}  // namespace velmora::test
