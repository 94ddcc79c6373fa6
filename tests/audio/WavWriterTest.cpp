#include "audio/WavWriter.h"

#include "audio/SampleEncoder.h"
#include "audio/WavHeader.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <map>
#include <sstream>

#include "system/Failure.h"
#include "system/TemporaryFiles.h"
#include "support/FailingCalls.h"
#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

struct : BlockSink {
  void put(SampleBlock&&) override {}
} nowhere;

// Saves samples through the encoder and the writer, streamed in small blocks: the failure's message, or "".
std::string save(const fs::path& target, const std::vector<double>& samples, const SignalFormat& format = {44100, 2, 16}) {
  BlockPool pool;
  const auto count = static_cast<std::int64_t>(samples.size());
  WavWriter writer(target.string(), format, count, pool);
  SampleEncoder encoder(*codecFor(format.bitspersample, format.floatingPoint), count);
  struct : BlockSink {
    void put(SampleBlock&& block) override { writer->step(std::move(block), nowhere); }
    WavWriter* writer;
  } toWriter;
  toWriter.writer = &writer;
  try {
    const std::size_t step = samples.size() > 1000 ? 4096 : 3;
    for (std::size_t at = 0; at < samples.size(); at += step) {
      const auto from = samples.begin() + static_cast<long>(at);
      encoder.step({Samples(from, samples.begin() + static_cast<long>(std::min(at + step, samples.size()))), {}, {}}, toWriter);
    }
    writer.drain(nowhere);
    std::ostringstream summary;
    writer.conclude(summary);
  } catch (const Failure& failure) {
    return failure.message;
  }
  return "";
}

fs::path linked(const TempDir& dir, const std::string& to, const std::string& name) {
  fs::create_symlink(to, dir / name);
  return dir / name;
}

// The extended attributes of a file (an access list among them), names and values.
std::string attributesOf(const fs::path& path) {
  std::string names(4096, '\0');
  names.resize(static_cast<std::size_t>(std::max<ssize_t>(llistxattr(path.c_str(), names.data(), names.size()), 0)));
  std::string all;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    std::string value(4096, '\0');
    value.resize(static_cast<std::size_t>(std::max<ssize_t>(lgetxattr(path.c_str(), names.c_str() + at, value.data(), value.size()), 0)));
    all += std::string(names.c_str() + at) + "=" + value + ";";
  }
  return all;
}

// An access list that also lets nobody read and write: as a file's own, or as a folder's default for new files.
bool grantNobody(const fs::path& path, const char* list) {
  Bytes entries;  // version 2, then (tag, permissions, id): owner, nobody, group, mask, others
  appendLe(entries, 2, 4);
  for (const auto& [tag, permissions, id] : {std::tuple{0x01u, 6u, ~0u}, {0x02u, 6u, nobody}, {0x04u, 4u, ~0u},
                                             {0x10u, 6u, ~0u}, {0x20u, 0u, ~0u}}) {
    appendLe(entries, tag, 2);
    appendLe(entries, permissions, 2);
    appendLe(entries, id, 4);
  }
  const bool set = setxattr(path.c_str(), list, entries.data(), entries.size(), 0) == 0;
  EXPECT_TRUE(set || errno == ENOTSUP) << std::strerror(errno);
  return set;
}

// A file whose access list also lets nobody read and write it, or that carries a user attribute.
fs::path withAttributes(const fs::path& path, bool accessList) {
  writeFile(path, {1, 2, 3});
  const int set = accessList ? (grantNobody(path, "system.posix_acl_access") ? 0 : -1)
                             : setxattr(path.c_str(), "user.note", "kept", 4, 0);
  EXPECT_TRUE(set == 0 || errno == ENOTSUP) << std::strerror(errno);  // a file system without them: a plain file
  return path;
}

// The folder of path gives new files an access list; an empty path where its file system has none.
fs::path inFolderWithDefaultList(const fs::path& path) {
  return grantNobody(path.parent_path(), "system.posix_acl_default") ? path : fs::path();
}

// Each entry's identity apart from its bytes: link target, owner, group, mode, names, extended attributes.
std::map<std::string, std::string> identities(const fs::path& folder) {
  std::map<std::string, std::string> all;
  for (const std::string& name : namesIn(folder)) {
    struct stat st {};
    EXPECT_EQ(lstat((folder / name).c_str(), &st), 0);
    std::ostringstream identity;
    identity << (S_ISLNK(st.st_mode) ? fs::read_symlink(folder / name).string() : "") << " " << st.st_uid << ":"
             << st.st_gid << " " << std::oct << st.st_mode << std::dec << " " << st.st_nlink << " "
             << attributesOf(folder / name);
    all[name] = identity.str();
  }
  return all;
}

// Each format in its container: integers clamped and truncated at their resolution, floating point not clipped.
TEST(WavWriter, EncodesEachFormatInTheInputsContainer) {
  const TempDir dir;
  EXPECT_EQ(save(dir / "wide.wav", {40000, -40000, 1.9, -1.9, NAN, 32767.5, -32768.7, -0.5}, {22050.9, 2, 16}), "");
  EXPECT_EQ(readFile(dir / "wide.wav"), wavBytes({.rate = 22050}, pcm16({32767, -32768, 1, -1, 0, 32767, -32768, 0})));
  EXPECT_EQ(save(dir / "narrow.wav", {-5, 300, 127.9, NAN, 255}, {44100, 2, 8}), "");
  EXPECT_EQ(readFile(dir / "narrow.wav"), wavBytes({.bits = 8}, pcm8({0, 255, 127, 0, 255})));
  const auto fact = [](std::uint32_t frames) {
    Bytes count;
    appendLe(count, frames, 4);
    return std::vector<Chunk>{{"fact", count}};
  };
  const auto value = [](std::int64_t v, int width) {
    Bytes bytes;
    appendLe(bytes, static_cast<std::uint64_t>(v), width);
    return bytes;
  };
  const auto joined = [](std::vector<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  };
  const float full = 40000.0f / 32768;
  const std::vector<double> x = {40000, -40000, 1.9, -1.9, NAN, -0.001};
  const std::vector<std::tuple<std::string, SignalFormat, Bytes>> cases = {
      {"24 bits, extensible", {44100, 6, 24, 0, false, true, 0x3F},
       wavBytes({.channels = 6, .bits = 24, .fmtSize = 40, .format = 0xFFFE, .validBits = 24, .channelMask = 0x3F},
                joined({value(8388607, 3), value(-8388608, 3), value(486, 3), value(-486, 3), value(0, 3), value(0, 3)}), fact(1))},
      {"32 bits", {44100, 2, 32}, wavBytes({.bits = 32}, joined({value(2147483647, 4), value(-2147483648LL, 4), value(124518, 4),
                                                                 value(-124518, 4), value(0, 4), value(-65, 4)}))},
      {"floating point, 32 bits", {44100, 2, 32, 0, true},
       wavBytes({.bits = 32, .fmtSize = 18, .format = 3}, joined({value(std::bit_cast<std::uint32_t>(full), 4),
                value(std::bit_cast<std::uint32_t>(-full), 4), value(std::bit_cast<std::uint32_t>(static_cast<float>(1.9 / 32768)), 4),
                value(std::bit_cast<std::uint32_t>(static_cast<float>(-1.9 / 32768)), 4), value(0, 4),
                value(std::bit_cast<std::uint32_t>(static_cast<float>(-0.001 / 32768)), 4)}), fact(3))},
  };
  for (const auto& [what, format, expected] : cases) {
    EXPECT_EQ(save(dir / "deep.wav", x, format), "") << what;
    EXPECT_EQ(readFile(dir / "deep.wav"), expected) << what;
  }
  // Sizes past 32 bits: RF64, its sizes in a ds64 chunk (the RIFF size: the 80 bytes of header less 8, and the data),
  // also where the data alone would fit but not the RIFF size.
  const std::vector<unsigned char> justBelow = savedHeader({44100, 2, 16}, 0x7FFFFFF0).bytes;
  EXPECT_EQ(std::string(justBelow.begin(), justBelow.begin() + 4), "RF64");
  const std::int64_t data = std::int64_t{1} << 32;
  Bytes header = wavBytes({.riff = "RF64", .first = {{"ds64", joined({value(72 + data, 8), value(data, 8), value(data / 4, 8), value(0, 4)})}}}, {});
  putLe32(header, 4, 0xFFFFFFFF);
  putLe32(header, header.size() - 4, 0xFFFFFFFF);
  EXPECT_EQ(savedHeader({44100, 2, 16}, data / 2).bytes, header);
}

// Each kind of target: the message, no temporary file left, the new bytes, and every entry still what it was.
TEST(WavWriter, SavesKeepWhatMakesTheTargetWhatItIs) {
  std::string accents;  // a temporary name keeps 241 bytes of the name: here the middle of a character
  for (int i = 0; i < 125; ++i) {
    accents += "\u00e9";
  }
  const std::string bare(250, '\x80');  // a name of continuation bytes is cut to nothing
  struct Case {
    std::string what;
    std::function<fs::path(const TempDir&)> target;
    std::string message;
    std::vector<std::string> names;
    std::string written = "";
    std::string accessAs = "";  // a file the test made as any tool would, whose access the written one shares
  };
  const Bytes previous = {1, 2, 3};
  const uid_t self = geteuid();
  const std::vector<Case> cases = {
      {"a new file", [](const TempDir& d) { return d / "new.wav"; }, "", {"new.wav"}, "new.wav"},
      {"a link", [&](const TempDir& d) {
         ownedFile(d / "real.wav", previous, self, 0640);
         return linked(d, "real.wav", "link.wav");
       }, "", {"link.wav", "real.wav"}, "real.wav"},
      {"a link to a file not yet there", [](const TempDir& d) { return linked(d, "made.wav", "link.wav"); }, "",
       {"link.wav", "made.wav"}, "made.wav"},
      {"a link loop", [](const TempDir& d) { return linked(d, "loop", "loop"); }, "I/O error", {"loop"}},
      {"a file with two names", [&](const TempDir& d) {
         fs::create_hard_link(ownedFile(d / "one.wav", previous, self, 0644), d / "two.wav");
         return d / "one.wav";
       }, "", {"one.wav", "two.wav"}, "two.wav"},
      {"a longer file, written in place through a link", [](const TempDir& d) {
         writeFile(d / "long.wav", Bytes(5000, 9));
         return linked(d, "long.wav", "l.wav");
       }, "", {"l.wav", "long.wav"}, "long.wav"},
      {"another user's set-id file", [&](const TempDir& d) { return ownedFile(d / "s.wav", previous, nobody, 04750); },
       "", {"s.wav"}, "s.wav"},
      {"a file with an access list", [](const TempDir& d) { return withAttributes(d / "a.wav", true); }, "",
       {"a.wav"}, "a.wav"},
      {"a file with a user attribute", [](const TempDir& d) { return withAttributes(d / "u.wav", false); }, "",
       {"u.wav"}, "u.wav"},
      {"a file of another group", [&](const TempDir& d) { return ownedFile(d / "g.wav", previous, self, 02640); }, "",
       {"g.wav"}, "g.wav"},
      {"a file without an access list in a folder with a default one", [&](const TempDir& d) {
         return inFolderWithDefaultList(ownedFile(d / "p.wav", previous, self, 0640));
       }, "", {"p.wav"}, "p.wav"},
      {"a new file in a folder with a default access list", [&](const TempDir& d) {
         const fs::path target = inFolderWithDefaultList(d / "new.wav");
         close(open((d / "tool.wav").c_str(), O_WRONLY | O_CREAT, 0666));
         return target;
       }, "", {"new.wav", "tool.wav"}, "new.wav", "tool.wav"},
      {"a device", [](const TempDir& d) {  // where root may make one that opens here; else a new file
         const fs::path null = d / "null";
         const int device = mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? open(null.c_str(), O_WRONLY) : -1;
         device >= 0 ? close(device) : unlink(null.c_str());
         return null;
       }, "", {"null"}},
      {"a device that takes nothing", [](const TempDir&) { return fs::path("/dev/full"); }, "Error writing wav!", {}},
      {"a name of 256 bytes", [](const TempDir& d) { return d / std::string(256, 'n'); }, "I/O error", {}},
      {"250 bytes, two to a character", [&](const TempDir& d) { return d / accents; }, "", {accents}, accents},
      {"250 bytes that are no characters", [&](const TempDir& d) { return d / bare; }, "", {bare}, bare},
      {"a folder's name", [](const TempDir& d) { return d / "f" / ""; }, "I/O error", {}},
      {"a folder", [](const TempDir& d) {
         fs::create_directory(d / "f.wav");
         return d / "f.wav";
       }, "I/O error", {"f.wav"}},
      {"a missing folder", [](const TempDir& d) { return d / "no" / "such.wav"; }, "I/O error", {}},
  };
  for (const Case& c : cases) {
    const TempDir dir;
    const fs::path target = c.target(dir);
    if (target.empty()) {
      std::cout << "[ SKIPPED  ] " << c.what << ": the file system keeps no access lists\n";
      continue;
    }
    const auto before = identities(dir.path());
    EXPECT_EQ(save(target, {7, 8}), c.message) << c.what;
    EXPECT_EQ(namesIn(dir.path()), c.names) << c.what;
    auto after = identities(dir.path());
    for (const auto& [name, identity] : before) {
      EXPECT_EQ(after[name], identity) << c.what << ": " << name;
    }
    if (!c.written.empty()) {
      EXPECT_EQ(readFile(dir / c.written), wavBytes({}, pcm16({7, 8}))) << c.what;
    }
    if (!c.accessAs.empty()) {
      EXPECT_EQ(after[c.written].substr(after[c.written].find(' ')), after[c.accessAs].substr(after[c.accessAs].find(' ')))
          << c.what;
    }
  }
  const TempDir dir;
  const mode_t mask = umask(027);  // a new file's permissions are those the user's mask leaves
  EXPECT_EQ(save(dir / "new.wav", {1, 2}), "");
  umask(mask);
  EXPECT_EQ(fs::status(dir / "new.wav").permissions(), fs::perms(0640));
}

// Saves with standard output redirected to a file (`>file`): the target itself or another file.
std::string saveWithStandardOutput(const fs::path& target, const fs::path& redirected) {
  const int file = open(redirected.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int output = dup(STDOUT_FILENO);
  dup2(file, STDOUT_FILENO);
  const std::string message = save(target, {7, 8});
  dup2(output, STDOUT_FILENO);
  close(output);
  close(file);
  return message;
}

// Each system call of a save failing in turn: the message, the new or the previous bytes, no temporary file.
TEST(WavWriter, EveryFailingSystemCallKeepsThePreviousFileOrFindsAnotherWay) {
  const Bytes previous = {1, 2, 3};
  const std::vector<double> big(600000, 7);
  struct Failing {
    std::string call, suffix;
    int error, skipped = 0, times = 1;
  };
  struct Case {
    std::string target;
    std::vector<Failing> failing;
    std::string message;
    bool replaced;
  };
  const std::string buffer = "Error writing buffer!";
  const Failing crossDevice{"rename", "out.wav", EXDEV};
  const Failing unnamed{"open", "folder", EOPNOTSUPP};  // no file without a name: a named one
  const std::string spool = " (deleted)";
  const std::vector<Case> cases = {
      {"out.wav", {unnamed}, "", true},
      {"out.wav", {unnamed, {"open", ".tmp", EEXIST}}, "", true},
      {"out.wav", {unnamed, {"open", ".tmp", EACCES}}, "", true},
      {"out.wav", {unnamed, {"open", ".tmp", EEXIST, 0, 16}}, "", true},
      {"out.wav", {{"fstat", spool, EIO}}, "", true},
      {"out.wav", {{"fchmod", spool, EPERM}}, "", true},
      {"owned", {{"fchown", spool, EPERM}}, "", true},
      {"out.wav", {{"write", spool, ENOSPC}}, "Error writing wav!", false},
      {"out.wav", {{"write", spool, ENOSPC, 1}}, "Error writing chk!", false},
      {"out.wav", {{"write", spool, ENOSPC, 2}}, buffer, false},
      {"out.wav", {{"fsync", spool, EIO}}, buffer, false},
      {"out.wav", {{"linkat", ".tmp", EEXIST}}, "", true},
      {"out.wav", {{"linkat", ".tmp", ENOENT, 0, 2}}, buffer, false},
      {"owned", {{"linkat", ".tmp", ENOENT}}, "", true},  // through /proc, then as root by the descriptor itself
      {"out.wav", {{"linkat", ".tmp", EEXIST, 0, 16}}, buffer, false},
      {"out.wav", {{"close", spool, EIO}}, buffer, false},
      {"out.wav", {{"rename", "out.wav", EACCES}}, buffer, false},
      {"out.wav", {crossDevice}, "", true},
      {"out.wav", {{"rename", "out.wav", EBUSY}}, "", true},  // a file mounted over the name
      {"out.wav", {crossDevice, {"open", ".tmp", EIO}}, buffer, false},
      {"out.wav", {crossDevice, {"open", "out.wav", EACCES}}, "I/O error", false},
      {"out.wav", {crossDevice, {"pread", ".tmp", EIO}}, buffer, false},
      {"out.wav", {crossDevice, {"write", "out.wav", ENOSPC}}, "Error writing wav!", false},
      {"out.wav", {crossDevice, {"ftruncate", "out.wav", EIO}}, buffer, true},
      {"out.wav", {{"open", "folder", EACCES, 1}}, "", true},
      {"link.wav", {{"open", "link.wav", EACCES}}, "I/O error", false},
      {"link.wav", {{"ftruncate", "out.wav", EIO}}, buffer, true},
      {"link.wav", {{"fsync", "out.wav", EIO}}, buffer, true},
      {"link.wav", {{"close", "out.wav", EIO}}, buffer, true},
      {"big", {}, "", true},  // past its first page a replacement goes straight to the disk
      {"big", {{"write", spool, EINVAL, 3}}, "", true},  // where the disk will not take it so, through the cache
      {"big", {{"write", spool, ENOSPC, 3}}, buffer, false},
      {"big", {{"write", spool, ENOSPC, 4}}, buffer, false},  // the last, short write
      {"stdout", {}, "", true},
      {"beside stdout", {}, "", true},
      {"stdout", {{"open", "folder", EMFILE}, {"open", ".tmp", EMFILE}}, "I/O error", false},
      {"stdout", {{"pread", spool, EIO}}, buffer, false},
      {"new", {}, "", true},  // linked to its name at once
      {"new", {{"close", spool, EIO}}, buffer, false},  // then the name goes again
  };
  const int probe = open(fs::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_DIRECT, 0600);
  const bool direct = probe >= 0 && close(probe) == 0;
  for (const Case& c : cases) {
    const TempDir dir;
    const std::string what = c.target + (c.failing.empty() ? "" : ", failing " + c.failing.back().call);
    if ((c.target == "owned" && geteuid() != 0) || (!direct && !c.failing.empty() && c.failing[0].error == EINVAL)) {
      continue;  // only root can give the target to another user; a disk written through its cache only
    }
    const fs::path out = c.target == "owned" ? ownedFile(dir / "out.wav", previous, nobody, 0640) : dir / "out.wav";
    c.target == "new" ? void(fs::remove(out)) : writeFile(out, previous);
    if (c.target == "link.wav") {
      fs::create_symlink("out.wav", dir / "link.wav");
    }
    std::vector<std::unique_ptr<FailingCall>> failing;
    for (const Failing& f : c.failing) {
      const std::string suffix = f.suffix == "folder" ? dir.path().string() : f.suffix;
      failing.push_back(std::make_unique<FailingCall>(f.call, suffix, f.error, f.skipped, f.times));
    }
    const std::string message = c.target.ends_with("stdout")
                                    ? saveWithStandardOutput(out, c.target == "stdout" ? out : dir / "log")
                                    : save(c.target == "link.wav" ? dir / "link.wav" : out, c.target == "big" ? big : std::vector<double>{7, 8});
    const Bytes expected = wavBytes({}, encoded(c.target == "big" ? big : std::vector<double>{7, 8}, 16));
    for (std::size_t i = 0; i < failing.size(); ++i) {
      EXPECT_EQ(failing[i]->failures(), c.failing[i].times) << what;
    }
    failing.clear();
    EXPECT_EQ(message, c.message) << what;
    EXPECT_EQ(readFile(out), c.replaced ? expected : c.target == "stdout" || c.target == "new" ? Bytes{} : previous) << what;
    EXPECT_EQ(namesIn(dir.path()).size(), c.target == "link.wav" || c.target == "beside stdout" ? 2u : c.replaced || c.target != "new") << what;
  }
}

// Where no unnamed file can be made (as on NFS) the spool has a name, which an interruption removes.
TEST(WavWriter, AnInterruptionRemovesTheNameOfASpool) {
  const TempDir dir;
  const pid_t child = fork();
  if (child == 0) {  // a process of its own, which the signal ends
    TemporaryFiles::watchInterruptions();
    const FailingCall unnamed("open", dir.path().string(), EOPNOTSUPP);
    BlockPool pool;
    WavWriter writer((dir / "out.wav").string(), {44100, 2, 16, 0}, 2, pool);
    writer.drain(nowhere);
    _exit(namesIn(dir.path()).size() == 1 && kill(getpid(), SIGTERM) == 0 ? pause() : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

}  // namespace
}  // namespace velmora::test
