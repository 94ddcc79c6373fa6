#include "audio/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velmora {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr int openFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
int openExclusive(const fs::path& p) { return _wopen(p.c_str(), openFlags, _S_IREAD | _S_IWRITE); }
int openExisting(const fs::path& p) { return _wopen(p.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY); }
long long writeSome(int fd, const unsigned char* b, std::size_t n) {
  return _write(fd, b, static_cast<unsigned>(n));
}
bool flushToDisk(int fd) { return _commit(fd) == 0; }
int closeFile(int fd) { return _close(fd); }
#else
constexpr int openFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
int openExclusive(const fs::path& p) { return ::open(p.c_str(), openFlags, 0666); }
int openExisting(const fs::path& p) { return ::open(p.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); }
long long writeSome(int fd, const unsigned char* b, std::size_t n) { return ::write(fd, b, n); }
bool flushToDisk(int fd) { return ::fsync(fd) == 0; }
int closeFile(int fd) { return ::close(fd); }
#endif

// Follows symbolic links, so that saving through a link replaces the file it points to.
fs::path resolveLinks(fs::path p) {
  std::error_code error;
  for (int hops = 0; hops < 40 && fs::is_symlink(p, error); ++hops) {
    fs::path next = fs::read_symlink(p, error);
    if (error) {
      break;
    }
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p;
}

// An existing target must be writable in place, as it would be when written directly.
bool existingTargetWritable(const fs::path& p) {
  std::error_code error;
  if (!fs::exists(p, error)) {
    return true;
  }
  if (fs::is_directory(p, error)) {
    return false;
  }
  std::fstream probe(p, std::ios::in | std::ios::out | std::ios::binary);
  return probe.is_open();
}

std::string randomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string suffix;
  for (int i = 0; i < 8; ++i) {
    suffix += digits[generator() % 36];
  }
  return suffix;
}

// A hidden name next to the target, unique per attempt.
std::string temporaryName(const std::string& targetName) {
  std::string name(1, '.');
  name.append(targetName).append(1, '.').append(randomSuffix()).append(".tmp");
  return name;
}

}  // namespace

SafeFileWriter::SafeFileWriter(const std::string& name) : target(resolveLinks(name)) {}

SafeFileWriter::~SafeFileWriter() { discard(); }

bool SafeFileWriter::open() {
  if (target.filename().empty() || !existingTargetWritable(target)) {
    return false;
  }
  std::error_code error;
  if (fs::exists(target, error) && !fs::is_regular_file(target, error)) {
    // A device or pipe (such as /dev/null) cannot be replaced by renaming: write to it directly.
    descriptor = openExisting(target);
    direct = descriptor >= 0;
    return direct;
  }
  for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
    temporary = target;
    temporary.replace_filename(temporaryName(target.filename().string()));
    descriptor = openExclusive(temporary);
    if (descriptor < 0 && errno != EEXIST) {
      break;
    }
  }
  if (descriptor < 0) {
    temporary.clear();
    return false;
  }
  const fs::file_status existing = fs::status(target, error);
  if (!error && fs::exists(existing)) {
    fs::permissions(temporary, existing.permissions(), error);
  }
  return true;
}

bool SafeFileWriter::write(const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const long long written = writeSome(descriptor, bytes, count);
    if (written <= 0) {
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

bool SafeFileWriter::commit() {
  if (direct) {
    const bool closed = closeFile(descriptor) == 0;
    descriptor = -1;
    return closed;
  }
  const bool flushed = flushToDisk(descriptor);
  const bool closed = closeFile(descriptor) == 0;
  descriptor = -1;
  if (!flushed || !closed) {
    discard();
    return false;
  }
  std::error_code error;
  fs::rename(temporary, target, error);
  if (error) {
    discard();
    return false;
  }
  temporary.clear();
  return true;
}

void SafeFileWriter::discard() {
  if (descriptor >= 0) {
    closeFile(descriptor);
    descriptor = -1;
  }
  if (!temporary.empty()) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    temporary.clear();
  }
}

}  // namespace velmora
