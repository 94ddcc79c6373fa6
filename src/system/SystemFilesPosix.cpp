#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "system/FileNames.h"
#include "system/SystemFiles.h"
#include "system/TemporaryFiles.h"

namespace velmora::files {

namespace {

namespace fs = std::filesystem;

bool isStandardOutput(const struct stat& target) {
  struct stat out {};  // all zero where standard output is closed: no file has that identity
  fstat(STDOUT_FILENO, &out);
  return out.st_dev == target.st_dev && out.st_ino == target.st_ino;
}

bool inGroup(gid_t group) {
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
  const int count = getgroups(static_cast<int>(groups.size()), groups.data());
  groups.resize(static_cast<std::size_t>(std::max(count, 0)));
  return group == getegid() || std::find(groups.begin(), groups.end(), group) != groups.end();
}

// Only root gives a file away; an owner may give it any group of its own.
bool identityKeepable(const struct stat& target) {
  return geteuid() == 0 || (target.st_uid == geteuid() && inGroup(target.st_gid));
}

// Attributes that a new file would not carry: an access list, user attributes. A security label
// is given to a new file by its folder, as to the one it replaces.
bool hasAttributes(const fs::path& target) {
  std::vector<char> names(static_cast<std::size_t>(std::max<ssize_t>(listxattr(target.c_str(), nullptr, 0), 0)));
  const ssize_t length = listxattr(target.c_str(), names.data(), names.size());
  for (std::size_t at = 0; length > 0 && at < static_cast<std::size_t>(length);) {
    const std::string_view name(names.data() + at);
    if (name != "security.selinux") {
      return true;
    }
    at += name.size() + 1;
  }
  return false;
}

// A rename is final only once the folder that records it is on the disk.
void flushFolder(const fs::path& p) {
  const int fd = ::open(folderOf(p).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// A named spool: a new hidden name in folder, registered while it lives.
Spool createNamed(const fs::path& folder, const std::string& targetName, mode_t mode) {
  Spool spool;
  int error = EEXIST;
  for (int attempt = 0; attempt < 16 && spool.descriptor < 0 && error == EEXIST; ++attempt) {
    const fs::path candidate = folder / temporaryName(targetName);
    TemporaryFiles::changeUnderLock(candidate, true, [&] {
      spool.descriptor = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      error = errno;
      return spool.descriptor >= 0;
    });
    if (spool.descriptor >= 0) {
      spool.name = candidate;
    }
  }
  return spool;
}

void removeName(Spool& spool) {
  if (!spool.name.empty()) {
    TemporaryFiles::changeUnderLock(spool.name, false, [&] {
      ::unlink(spool.name.c_str());
      return true;
    });
    spool.name.clear();
  }
}

// Gives an unnamed spool a hidden name beside the target, through the process's view of its
// descriptors (or, for root, the descriptor itself).
bool giveName(Spool& spool, const fs::path& target) {
  const std::string self = "/proc/self/fd/" + std::to_string(spool.descriptor);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const fs::path candidate = folderOf(target) / temporaryName(target.filename().string());
    int error = 0;
    TemporaryFiles::changeUnderLock(candidate, true, [&] {
      bool linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
      error = linked ? 0 : errno;
      if (!linked && error != EEXIST) {
        linked = ::linkat(spool.descriptor, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0;
        error = linked ? 0 : errno;
      }
      return linked;
    });
    if (error == 0) {
      spool.name = candidate;
      return true;
    }
    if (error != EEXIST) {
      return false;
    }
  }
  return false;
}

// Whether an unnamed file can be given a name when it is finished.
bool canNameLater() { return ::access("/proc/self/fd", X_OK) == 0 || geteuid() == 0; }

// Room for length bytes from start on the target's disk before any byte of it is overwritten; a
// file system that cannot reserve room says so, and the copy goes ahead as any write would.
bool reserve(int descriptor, off_t start, std::int64_t length) {
  if (::fallocate(descriptor, FALLOC_FL_KEEP_SIZE, start, length) == 0) {
    return true;
  }
  return errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL;
}

}  // namespace


// Each link's text read as the kernel follows it, relative ones from the link's own folder; a loop
// ends after the kernel's own limit of links, where the lookup of the name fails anyway.
fs::path destinationOf(const fs::path& target) {
  fs::path name = target;
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    const fs::path next = fs::read_symlink(name, error);
    if (error) {
      break;
    }
    name = next.is_absolute() ? next : folderOf(name) / next;
  }
  return name;
}

TargetFacts factsAbout(const fs::path& target) {
  TargetFacts facts;
  facts.named = !target.filename().empty();
  if (!facts.named) {
    return facts;
  }
  struct stat link {};
  facts.throughLink = lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  facts.folderWritable = faccessat(AT_FDCWD, folderOf(target).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
  facts.fileFolderWritable = faccessat(AT_FDCWD, folderOfFile(target).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
  struct stat file {};
  if (stat(target.c_str(), &file) != 0) {
    facts.unreachable = errno != ENOENT;
    return facts;
  }
  facts.exists = true;
  facts.folder = S_ISDIR(file.st_mode);
  facts.regular = S_ISREG(file.st_mode);
  facts.standardOutput = isStandardOutput(file);
  facts.writable = faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
  facts.oneName = file.st_nlink == 1;
  facts.identityKeepable = identityKeepable(file);
  facts.attributes = facts.regular && hasAttributes(target);
  return facts;
}

Spool createSpool(const fs::path& folder, const std::string& targetName, bool forRename, bool newFile) {
  const fs::path where = folder.empty() ? temporaryFolder() : folder;
  const mode_t mode = newFile ? 0666 : 0600;  // a new file's narrowed by the umask, as for any new file
  const int unnamed = forRename && !canNameLater() ? -1 : ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (unnamed >= 0) {
    return {unnamed, {}};
  }
  Spool spool = createNamed(where, targetName, mode);
  if (!forRename) {
    removeName(spool);  // its bytes stay until it is closed; no one needs its name
  }
  return spool;
}

int openForReading(const fs::path& name) {
  const int descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat file {};
  if (descriptor >= 0 && (fstat(descriptor, &file) != 0 || S_ISDIR(file.st_mode))) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

int openStandardInput() { return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0); }

bool readWholeFirst(int descriptor) {
  struct stat file {};
  return fstat(descriptor, &file) == 0 &&
         (S_ISFIFO(file.st_mode) || S_ISSOCK(file.st_mode) || (S_ISREG(file.st_mode) && file.st_size == 0));
}

int takeWhole(int pipe) {
  Spool taken = createSpool({}, "input", false, false);
  std::vector<unsigned char> buffer(std::size_t{1} << 20);
  for (ssize_t n; taken.descriptor >= 0 && (n = ::read(pipe, buffer.data(), buffer.size())) != 0;) {
    if (n < 0 ? errno != EINTR : writeAll(taken.descriptor, buffer.data(), static_cast<std::size_t>(n)) < static_cast<std::size_t>(n)) {
      closeSpool(taken);
    }
  }
  return taken.descriptor;
}

std::int64_t sizeOf(int descriptor) {
  struct stat file {};
  return fstat(descriptor, &file) == 0 ? static_cast<std::int64_t>(file.st_size) : 0;
}

void closeFile(int descriptor) { ::close(descriptor); }

std::size_t writeAll(int descriptor, const unsigned char* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t written = ::write(descriptor, bytes + done, count - done);
    if (written <= 0) {
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  return done;
}

std::int64_t readAt(int descriptor, std::int64_t offset, unsigned char* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(descriptor, bytes + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return -1;
    }
    if (n == 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

bool writeDirect(int descriptor, bool on) {
  const int flags = ::fcntl(descriptor, F_GETFL);  // an open descriptor's flags: never fails
  return ::fcntl(descriptor, F_SETFL, on ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

void startWriteBack(int descriptor, std::int64_t from, std::int64_t count) {
  sync_file_range(descriptor, from, count, SYNC_FILE_RANGE_WRITE);
}

// The owner and group first, then the permissions (a change of owner clears the set-id bits). The
// target has no access list (else it is written in place): the spool keeps none either, so that its
// mode's group bits are the group's permissions again rather than an inherited list's mask.
bool takeIdentity(const Spool& spool, const fs::path& target) {
  struct stat created {};
  struct stat existing {};
  if (fstat(spool.descriptor, &created) != 0 || stat(target.c_str(), &existing) != 0) {
    return false;
  }
  if ((created.st_uid != existing.st_uid || created.st_gid != existing.st_gid) &&
      fchown(spool.descriptor, existing.st_uid, existing.st_gid) != 0) {
    return false;
  }
  if (fremovexattr(spool.descriptor, "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP) {
    return false;
  }
  return fchmod(spool.descriptor, existing.st_mode & 07777) == 0;
}

namespace {

using Result = Delivery::Result;

// An unnamed spool for a name that has no file yet is linked to that name directly: the file
// appears whole or not at all, however the process ends. A close that reports a lost write takes
// the name away again. Nothing: a file took the name meanwhile.
std::optional<Result> linkAsNew(Spool& spool, const fs::path& target) {
  const std::string self = "/proc/self/fd/" + std::to_string(spool.descriptor);
  const bool linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                      (errno != EEXIST && ::linkat(spool.descriptor, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0);
  if (!linked) {
    return errno == EEXIST ? std::nullopt : std::optional(Result::failed);
  }
  const int descriptor = spool.descriptor;
  spool.descriptor = -1;
  if (::close(descriptor) != 0) {
    ::unlink(target.c_str());
    return Result::failed;
  }
  flushFolder(target);
  return Result::done;
}

// The spool is closed before the rename, so that a close that reports a lost write keeps the
// previous file; a refused rename opens it again by its name for the copy.
Result renamed(Spool& spool, const fs::path& target) {
  if (::fsync(spool.descriptor) != 0) {
    return Result::failed;
  }
  struct stat existing {};
  if (spool.name.empty() && ::lstat(target.c_str(), &existing) != 0 && errno == ENOENT) {
    if (const std::optional<Result> result = linkAsNew(spool, target)) {
      return *result;
    }
  }
  if (spool.name.empty() && !giveName(spool, target)) {
    return Result::failed;
  }
  const int descriptor = spool.descriptor;
  spool.descriptor = -1;
  if (::close(descriptor) != 0) {
    return Result::failed;
  }
  int error = 0;
  TemporaryFiles::changeUnderLock(spool.name, false, [&] {
    const bool done = ::rename(spool.name.c_str(), target.c_str()) == 0;
    error = done ? 0 : errno;
    return done;
  });
  if (error == 0) {
    spool.name.clear();
    flushFolder(target);
    return Result::done;
  }
  // A file mounted over the target's name cannot be replaced; it can be written.
  if (error != EBUSY && error != EXDEV) {
    return Result::failed;
  }
  spool.descriptor = ::open(spool.name.c_str(), O_RDONLY | O_CLOEXEC);
  return spool.descriptor >= 0 ? Result::refused : Result::failed;
}

// Where the next write to an open file lands: its end when it was opened to append (`>>`).
off_t writingPosition(int descriptor, const struct stat& file) {
  return (::fcntl(descriptor, F_GETFL) & O_APPEND) != 0 ? file.st_size : ::lseek(descriptor, 0, SEEK_CUR);
}

}  // namespace

Delivery renameOver(Spool& spool, std::int64_t length, const fs::path& target) { return {renamed(spool, target), length}; }

Delivery copyInto(const Spool& spool, std::int64_t length, const std::vector<std::int64_t>& pieces, const fs::path& target,
                  SaveMethod method) {
  std::cout.flush();
  const int to = method == SaveMethod::standardOutput ? STDOUT_FILENO
                                                      : ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (to < 0) {
    return {Result::refused, 0};
  }
  struct stat file {};  // an open descriptor's: fstat never fails
  fstat(to, &file);
  const bool regular = S_ISREG(file.st_mode);
  // Standard output that is a file takes the bytes where it stands, after the lines printed so far.
  const bool console = method == SaveMethod::standardOutput;
  const off_t start = console && regular ? writingPosition(to, file) : 0;
  Delivery delivery{Result::failed, length};
  const auto write = [&] {
    const bool done = copyBytes(spool.descriptor, to, length, pieces, delivery.targetTook) &&
                      (!regular || console || (::ftruncate(to, length) == 0 && ::fsync(to) == 0));
    delivery.result = done ? Result::done : Result::failed;
  };
  if (!regular) {
    write();  // a pipe may wait for its reader: an interruption ends it at any moment
  } else {
    // Another save in place onto the same file waits for this one to end (the lock goes with the
    // open file); waiting, not holding interruptions, it can still be interrupted.
    ::flock(to, LOCK_EX);  // where the file system has no locks, saves go on as they did
    if (reserve(to, start, length)) {
      TemporaryFiles::holdInterruptions(write);
    }
  }
  if (to != STDOUT_FILENO && ::close(to) != 0) {
    delivery.result = Result::failed;
  }
  return delivery;
}

void releaseReaders(const fs::path& target) {
  struct stat file {};
  if (stat(target.c_str(), &file) == 0 && S_ISFIFO(file.st_mode)) {
    const int end = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (end >= 0) {
      ::close(end);
    }
  }
}

void closeSpool(Spool& spool) {
  if (spool.descriptor >= 0) {
    ::close(spool.descriptor);
    spool.descriptor = -1;
  }
  removeName(spool);
}

}  // namespace velmora::files

namespace velmora {

std::filesystem::path pathOf(const std::string& name) { return std::filesystem::path(name); }

std::string nameOf(const std::filesystem::path& path) { return path.string(); }

}  // namespace velmora
