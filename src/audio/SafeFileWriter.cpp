#include "audio/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <csignal>
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

// A save interrupted from the keyboard or by the system removes its temporary file before the
// process ends, so that the folder keeps only the previous output or the complete new one.
// pendingTemporary names the temporary file while one exists.
const fs::path::value_type* volatile pendingTemporary = nullptr;

#ifdef _WIN32
// Ctrl-C and Ctrl-Break arrive on a thread of their own. While a temporary file exists the handler
// only raises a flag and waits; the saving thread sees it between two writes, removes the file and
// ends the process as an unhandled Ctrl-C would.
volatile LONG interrupted = 0;

BOOL WINAPI interruptSave(DWORD event) {
  if (pendingTemporary == nullptr || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)) {
    return FALSE;
  }
  InterlockedExchange(&interrupted, 1);
  Sleep(INFINITE);
  return TRUE;
}

// The handler never touches the file itself, so nothing needs holding back.
struct InterruptionsHeld {
  InterruptionsHeld() {}
  ~InterruptionsHeld() {}
};

bool interruptionPending() { return interrupted != 0; }

// Once the temporary file is gone: ends the process if an interruption arrived meanwhile.
void endIfInterrupted() {
  if (interrupted != 0) {
    ExitProcess(STATUS_CONTROL_C_EXIT);
  }
}

void watchInterruptions(bool on) {
  SetConsoleCtrlHandler(interruptSave, on ? TRUE : FALSE);
}
#else
constexpr int interruptions[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(interruptions)];

// Async-signal-safe: unlink and raise only. SA_RESETHAND has restored the default action, so the
// signal raised again ends the process as soon as the handler returns, and the parent sees it.
extern "C" void removeTemporaryAndEnd(int signal) {
  if (const char* path = pendingTemporary) {
    unlink(path);
  }
  raise(signal);
}

// Holds the interruptions back while the temporary file is created, renamed or removed and
// pendingTemporary changes with it; one that arrives meanwhile is handled when they are let go.
class InterruptionsHeld {
 public:
  InterruptionsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : interruptions) {
      sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &previous);
  }
  ~InterruptionsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

 private:
  sigset_t previous{};
};

bool interruptionPending() { return false; }  // the signal handler acts at once
void endIfInterrupted() {}

// Installs the handler for the signals whose action is the default one (an ignored signal, as
// under nohup, stays ignored), or puts the previous actions back.
void watchInterruptions(bool on) {
  for (std::size_t i = 0; i < std::size(interruptions); ++i) {
    if (!on) {
      sigaction(interruptions[i], &previousActions[i], nullptr);
      continue;
    }
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndEnd;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&action.sa_mask);
    sigaction(interruptions[i], nullptr, &previousActions[i]);
    if (previousActions[i].sa_handler == SIG_DFL) {
      sigaction(interruptions[i], &action, nullptr);
    }
  }
}
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
    const InterruptionsHeld held;
    descriptor = openExclusive(temporary);
    if (descriptor >= 0) {
      pendingTemporary = temporary.c_str();
      watchInterruptions(true);
    } else if (errno != EEXIST) {
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
    if (interruptionPending()) {
      discard();  // removes the temporary file, then ends the process
    }
    const long long written = writeSome(descriptor, bytes, count);
    if (written <= 0) {
      return false;
    }
    startWriteBack(written);
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Hands the bytes just written to the disk at once, without waiting: by the time commit flushes
// the file, most of a large output is on the disk already.
void SafeFileWriter::startWriteBack(long long bytes) {
#if defined(__linux__)
  if (!direct) {
    sync_file_range(descriptor, writtenBytes, bytes, SYNC_FILE_RANGE_WRITE);
  }
#endif
  writtenBytes += bytes;
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
  {
    const InterruptionsHeld held;
    fs::rename(temporary, target, error);
    if (!error) {
      forgetTemporary();
    }
  }
  if (error) {
    discard();
    return false;
  }
  return true;
}

// The temporary file is gone (renamed or removed): nothing is left for an interruption to remove.
void SafeFileWriter::forgetTemporary() {
  if (!temporary.empty()) {
    pendingTemporary = nullptr;
    watchInterruptions(false);
    temporary.clear();
    endIfInterrupted();
  }
}

void SafeFileWriter::discard() {
  if (descriptor >= 0) {
    closeFile(descriptor);
    descriptor = -1;
  }
  if (!temporary.empty()) {
    const InterruptionsHeld held;
    std::error_code ignored;
    fs::remove(temporary, ignored);
    forgetTemporary();
  }
}

}  // namespace velmora
