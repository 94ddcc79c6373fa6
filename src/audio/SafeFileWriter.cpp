#include "audio/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <random>
#include <system_error>

#include "audio/FileNames.h"
#include "audio/TemporaryFiles.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velmora {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
int openFile(const fs::path& p, int flags, int permissions) { return _wopen(p.c_str(), flags | _O_BINARY, permissions); }
long long writeSome(int fd, const unsigned char* b, std::size_t n) { return _write(fd, b, static_cast<unsigned>(n)); }
long long readSome(int fd, unsigned char* b, std::size_t n) { return _read(fd, b, static_cast<unsigned>(n)); }
bool flushToDisk(int fd) { return _commit(fd) == 0; }
bool truncateTo(int fd, std::int64_t length) { return _chsize_s(fd, length) == 0; }
bool rewind(int fd) { return _lseeki64(fd, 0, SEEK_SET) == 0; }
int closeFile(int fd) { return _close(fd); }
constexpr int newFilePermissions = _S_IREAD | _S_IWRITE;
constexpr int privateFilePermissions = _S_IREAD | _S_IWRITE;
#else
int openFile(const fs::path& p, int flags, int permissions) { return ::open(p.c_str(), flags | O_CLOEXEC, permissions); }
long long writeSome(int fd, const unsigned char* b, std::size_t n) { return ::write(fd, b, n); }
long long readSome(int fd, unsigned char* b, std::size_t n) { return ::read(fd, b, n); }
bool flushToDisk(int fd) { return ::fsync(fd) == 0; }
bool truncateTo(int fd, std::int64_t length) { return ::ftruncate(fd, length) == 0; }
bool rewind(int fd) { return ::lseek(fd, 0, SEEK_SET) == 0; }
int closeFile(int fd) { return ::close(fd); }
constexpr int newFilePermissions = 0666;      // narrowed by the umask, as for any new file
constexpr int privateFilePermissions = 0600;  // until the target's own are set
#endif

std::mutex suffixLock;
std::mt19937_64 suffixGenerator{std::random_device{}()};

std::string randomSuffix() {
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  const std::lock_guard held(suffixLock);
  std::string suffix;
  for (int i = 0; i < 8; ++i) {
    suffix += digits[suffixGenerator() % 36];
  }
  return suffix;
}

// A hidden name next to the target, unique per attempt: "." + name + "." + 8 characters + ".tmp".
// The part taken from the target's name is shortened so that the whole stays within the 255 bytes
// of a file name whatever the target's length, cut before a character, not inside one.
std::string temporaryName(const std::string& targetName) {
  constexpr std::size_t longestName = 255;
  constexpr std::size_t added = 14;
  std::size_t kept = std::min(targetName.size(), longestName - added);
  while (kept > 0 && kept < targetName.size() && (static_cast<unsigned char>(targetName[kept]) & 0xC0) == 0x80) {
    --kept;
  }
  std::string name(1, '.');
  name.append(targetName, 0, kept).append(1, '.').append(randomSuffix()).append(".tmp");
  return name;
}

bool writeAll(int fd, const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const long long written = writeSome(fd, bytes, count);
    if (written <= 0) {
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Copies the whole file open at from to the descriptor to.
bool copyFile(int from, int to) {
  if (!rewind(from)) {
    return false;
  }
  unsigned char buffer[1 << 16];
  for (long long n; (n = readSome(from, buffer, sizeof buffer)) != 0;) {
    if (n < 0 || !writeAll(to, buffer, static_cast<std::size_t>(n))) {
      return false;
    }
  }
  return true;
}

#ifndef _WIN32
fs::path folderOf(const fs::path& p) { return p.parent_path().empty() ? fs::path(".") : p.parent_path(); }

// A rename is final only once the folder that records it is on the disk.
void flushFolder(const fs::path& p) {
  const int fd = ::open(folderOf(p).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

bool isStandardOutput(const struct stat& target) {
  struct stat out {};
  return fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == target.st_dev && out.st_ino == target.st_ino;
}

// The replacement takes the target's owner and group, then its permissions (a change of owner
// clears the set-id bits), on the open descriptor before any byte is written. False where the
// owner or group cannot be kept: the target is then written in place instead.
bool takeIdentity(int fd, const struct stat& target) {
  struct stat created {};
  if (fstat(fd, &created) != 0) {
    return false;
  }
  if ((created.st_uid != target.st_uid || created.st_gid != target.st_gid) &&
      fchown(fd, target.st_uid, target.st_gid) != 0) {
    return false;
  }
  return fchmod(fd, target.st_mode & 07777) == 0;
}
#endif

}  // namespace

SafeFileWriter::SafeFileWriter(const std::string& name) : target(pathOf(name)) {}

SafeFileWriter::~SafeFileWriter() { discard(); }

#ifdef _WIN32
bool SafeFileWriter::open() {
  std::error_code error;
  const fs::file_status existing = fs::status(target, error);
  if (target.filename().empty() || fs::is_directory(existing)) {
    return false;
  }
  if (!fs::exists(existing)) {
    return openReplacement(false);
  }
  if (!fs::is_regular_file(existing)) {
    return openInPlace(false);
  }
  if ((existing.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return false;
  }
  return openReplacement(true) || openInPlace(false);
}
#else
bool SafeFileWriter::open() {
  if (target.filename().empty()) {
    return false;
  }
  struct stat existing {};
  if (stat(target.c_str(), &existing) != 0) {
    struct stat link {};
    if (errno != ENOENT) {
      return false;  // a link loop, a name too long, a folder we may not search
    }
    // A link to a file not yet there: the kernel creates it through the link, with its checks.
    return lstat(target.c_str(), &link) == 0 ? openInPlace(true) : openReplacement(false);
  }
  if (S_ISDIR(existing.st_mode)) {
    return false;
  }
  if (isStandardOutput(existing)) {
    return openSpool();  // the file bytes must come after the lines printed before the save
  }
  if (!S_ISREG(existing.st_mode)) {
    return openInPlace(false);  // a device or a pipe: opened once, for writing
  }
  if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return false;
  }
  struct stat link {};
  const bool throughLink = lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  const bool folderWritable = faccessat(AT_FDCWD, folderOf(target).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
  if (!throughLink && existing.st_nlink == 1 && folderWritable && openReplacement(true)) {
    if (takeIdentity(descriptor, existing)) {
      return true;
    }
    discard();
  }
  return openInPlace(false);
}
#endif

bool SafeFileWriter::openReplacement(bool keepExisting) {
  for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
    fs::path candidate = target;
    candidate.replace_filename(pathOf(temporaryName(nameOf(target.filename()))));
    int error = 0;
    TemporaryFiles::changeUnderLock(candidate, true, [&] {
      const int permissions = keepExisting ? privateFilePermissions : newFilePermissions;
      descriptor = openFile(candidate, O_WRONLY | O_CREAT | O_EXCL, permissions);
      error = errno;
      return descriptor >= 0;
    });
    if (descriptor >= 0) {
      temporary = candidate;
    } else if (error != EEXIST) {
      break;
    }
  }
  if (descriptor < 0) {
    return false;
  }
#ifdef _WIN32
  if (keepExisting) {
    std::error_code ignored;
    fs::permissions(temporary, fs::status(target, ignored).permissions(), ignored);
  }
#endif
  mode = Mode::replace;
  return true;
}

// Opens the target itself, without truncating it: the bytes overwrite it from the start and the
// length is set at the end, so that a target that is also the input being read loses no byte
// before it has been read.
bool SafeFileWriter::openInPlace(bool create) {
  descriptor = openFile(target, O_WRONLY | (create ? O_CREAT : 0), newFilePermissions);
  mode = descriptor >= 0 ? Mode::inPlace : Mode::closed;
  return descriptor >= 0;
}

// The target is this process's own standard output: the bytes are held in an unnamed temporary
// file and written out at the commit, after every line printed before the save.
bool SafeFileWriter::openSpool() {
  std::FILE* spool = std::tmpfile();
  if (spool == nullptr) {
    return false;
  }
  descriptor = dup(fileno(spool));
  std::fclose(spool);
  mode = descriptor >= 0 ? Mode::spool : Mode::closed;
  return descriptor >= 0;
}

bool SafeFileWriter::write(const unsigned char* bytes, std::size_t count) {
#ifdef _WIN32
  if (TemporaryFiles::interruptionPending()) {
    discard();
    TemporaryFiles::endInterrupted();
  }
#endif
  if (!writeAll(descriptor, bytes, count)) {
    return false;
  }
  startWriteBack(static_cast<std::int64_t>(count));
  return true;
}

// Hands the bytes written to the disk every few megabytes, without waiting: by the time commit
// flushes the file, most of a large output is on the disk already.
void SafeFileWriter::startWriteBack(std::int64_t bytes) {
  writtenBytes += bytes;
#if defined(__linux__)
  constexpr std::int64_t writeBackBytes = std::int64_t{8} << 20;
  if (mode == Mode::replace && writtenBytes - handedToDisk >= writeBackBytes) {
    sync_file_range(descriptor, handedToDisk, writtenBytes - handedToDisk, SYNC_FILE_RANGE_WRITE);
    handedToDisk = writtenBytes;
  }
#endif
}

bool SafeFileWriter::commit() {
  switch (mode) {
    case Mode::replace: return replaceTarget();
    case Mode::inPlace: return finishInPlace();
    case Mode::spool: {
      std::cout.flush();
      const bool copied = copyFile(descriptor, 1);
      return closeDescriptor() && copied;
    }
    case Mode::closed: break;
  }
  return false;
}

bool SafeFileWriter::replaceTarget() {
  const bool flushed = flushToDisk(descriptor);
  if (!closeDescriptor() || !flushed) {
    discard();
    return false;
  }
  std::error_code error;
  TemporaryFiles::changeUnderLock(temporary, false, [&] {
    fs::rename(temporary, target, error);
    return !error;
  });
  if (!error) {
    temporary.clear();
#ifndef _WIN32
    flushFolder(target);
#endif
    return true;
  }
  // A file mounted over the target's name cannot be replaced; it can be written.
  if (error == std::errc::device_or_resource_busy || error == std::errc::cross_device_link) {
    return copyIntoTarget();
  }
  discard();
  return false;
}

// A regular target gets the length written and reaches the disk; a device or pipe is only closed.
bool SafeFileWriter::finishInPlace() {
  std::error_code error;
  const bool regular = fs::is_regular_file(fs::status(target, error));
  const bool finished = !regular || (truncateTo(descriptor, writtenBytes) && flushToDisk(descriptor));
  return closeDescriptor() && finished;
}

// The rename failed after every byte was written: the temporary file's bytes are written into the
// target in place, then it is removed.
bool SafeFileWriter::copyIntoTarget() {
  descriptor = openFile(temporary, O_RDONLY, 0);
  const int from = descriptor;
  descriptor = -1;
  bool copied = from >= 0 && openInPlace(false) && copyFile(from, descriptor) && finishInPlace();
  if (from >= 0) {
    closeFile(from);
  }
  closeDescriptor();
  discard();
  return copied;
}

bool SafeFileWriter::closeDescriptor() {
  if (descriptor < 0) {
    return true;
  }
  const bool closed = closeFile(descriptor) == 0;
  descriptor = -1;
  return closed;
}

void SafeFileWriter::discard() {
  closeDescriptor();
  if (!temporary.empty()) {
    TemporaryFiles::changeUnderLock(temporary, false, [this] {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return true;
    });
    temporary.clear();
  }
  mode = Mode::closed;
}

}  // namespace velmora
