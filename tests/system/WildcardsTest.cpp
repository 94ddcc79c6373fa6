#include "system/Wildcards.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

TEST(Wildcards, ExpandsFileArgumentsInOrderAndKeepsTheRest) {
  const TempDir dir;
  for (const char* name : {"b.wav", "a.wav", "c.txt", "-tx", "abab.wav"}) {
    writeFile(dir / name, {});
  }
  fs::create_directory(dir / "d.wav");
  const std::string folder = dir.path().string() + "/";
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());  // where "-t*" would match the file -tx if options were expanded
  const std::vector<std::string> expanded =
      expandWildcards({"velmora", "-o", "*.none", folder + "*.wav", folder + "*.mp3", "-t*", folder + "?.txt"}, false);
  fs::current_path(previous);
  EXPECT_EQ(expanded, (std::vector<std::string>{"velmora", "-o", "*.none", folder + "a.wav", folder + "abab.wav",
                                                folder + "b.wav", folder + "*.mp3", "-t*", folder + "c.txt"}));
  // Without case, as on Windows: a star that must give back what it took, and stars at the end.
  EXPECT_EQ(expandWildcards({"velmora", folder + "A*B*.WAV", folder + "C.TXT**", folder + "C.T?"}, true),
            (std::vector<std::string>{"velmora", folder + "abab.wav", folder + "c.txt", folder + "C.T?"}));
}

}  // namespace
}  // namespace velmora::test
