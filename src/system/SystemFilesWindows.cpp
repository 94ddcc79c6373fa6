#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <iostream>
#include <vector>

#include "system/FileNames.h"
#include "system/SystemFiles.h"
#include "system/TemporaryFiles.h"

namespace velmora::files {

namespace {
namespace fs = std::filesystem;
using Result = Delivery::Result;
}  // namespace


fs::path destinationOf(const fs::path& target) { return target; }

// Windows has no links to follow for a save, no owners to keep and no way to ask whether a folder
// takes new names short of trying: the spool's creation tells.
TargetFacts factsAbout(const fs::path& target) {
  TargetFacts facts;
  facts.named = !target.filename().empty();
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  facts.unreachable = error && !fs::exists(status) && status.type() != fs::file_type::not_found;
  facts.folderWritable = fs::is_directory(folderOf(target), error);
  facts.fileFolderWritable = facts.folderWritable;
  facts.exists = fs::exists(status);
  facts.folder = fs::is_directory(status);
  facts.regular = fs::is_regular_file(status);
  facts.writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
  facts.identityKeepable = true;
  return facts;
}

// A spool to be renamed is named and registered; any other is deleted by the system when closed,
// however the process ends.
Spool createSpool(const fs::path& folder, const std::string& targetName, bool forRename, bool) {
  const fs::path where = folder.empty() ? temporaryFolder() : folder;
  Spool spool;
  for (int attempt = 0; attempt < 16 && spool.descriptor < 0; ++attempt) {
    const fs::path candidate = where / pathOf(temporaryName(targetName));
    const int flags = _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | (forRename ? 0 : _O_TEMPORARY);
    int error = 0;
    TemporaryFiles::changeUnderLock(candidate, forRename, [&] {
      spool.descriptor = _wopen(candidate.c_str(), flags, _S_IREAD | _S_IWRITE);
      error = errno;
      return spool.descriptor >= 0;
    });
    if (spool.descriptor >= 0 && forRename) {
      spool.name = candidate;
    } else if (spool.descriptor < 0 && error != EEXIST) {
      break;
    }
  }
  return spool;
}

std::size_t writeAll(int descriptor, const unsigned char* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const int written = _write(descriptor, bytes + done, static_cast<unsigned>(std::min<std::size_t>(count - done, 1 << 30)));
    if (written <= 0) {
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  return done;
}

int openForReading(const fs::path& name) {
  std::error_code error;
  return fs::is_directory(name, error) ? -1 : _wopen(name.c_str(), _O_RDONLY | _O_BINARY);
}

// Standard input is opened in text mode, which would change its bytes: the copy reads it raw.
int openStandardInput() {
  const int descriptor = _dup(0);
  if (descriptor >= 0) {
    _setmode(descriptor, _O_BINARY);
  }
  return descriptor;
}

bool readWholeFirst(int descriptor) {
  struct _stat64 file {};
  return _fstat64(descriptor, &file) == 0 && (file.st_mode & _S_IFIFO) != 0;
}

int takeWhole(int pipe) {
  Spool taken = createSpool({}, "input", false, false);
  std::vector<unsigned char> buffer(std::size_t{1} << 20);
  for (int n; taken.descriptor >= 0 && (n = _read(pipe, buffer.data(), static_cast<unsigned>(buffer.size()))) != 0;) {
    if (n < 0 || writeAll(taken.descriptor, buffer.data(), static_cast<std::size_t>(n)) < static_cast<std::size_t>(n)) {
      closeSpool(taken);
    }
  }
  return taken.descriptor;
}

std::int64_t sizeOf(int descriptor) {
  struct _stat64 file {};
  return _fstat64(descriptor, &file) == 0 ? static_cast<std::int64_t>(file.st_size) : 0;
}

void closeFile(int descriptor) { _close(descriptor); }

// Each read says where it starts, so that threads reading one file never move each other's place.
std::int64_t readAt(int descriptor, std::int64_t offset, unsigned char* bytes, std::size_t count) {
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  std::size_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    const std::uint64_t from = static_cast<std::uint64_t>(offset) + done;
    at.Offset = static_cast<DWORD>(from);
    at.OffsetHigh = static_cast<DWORD>(from >> 32);
    DWORD n = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1 << 30));
    if (!ReadFile(file, bytes + done, wanted, &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) {
        break;
      }
      return -1;
    }
    if (n == 0) {
      break;
    }
    done += n;
  }
  return static_cast<std::int64_t>(done);
}

bool writeDirect(int, bool) { return false; }

void startWriteBack(int, std::int64_t, std::int64_t) {}

bool takeIdentity(const Spool& spool, const fs::path& target) {
  std::error_code error;
  fs::permissions(spool.name, fs::status(target, error).permissions(), error);
  return !error;
}

Delivery renameOver(Spool& spool, std::int64_t length, const fs::path& target) {
  const bool flushed = _commit(spool.descriptor) == 0;
  const int descriptor = spool.descriptor;
  spool.descriptor = -1;
  if (_close(descriptor) != 0 || !flushed) {
    return {Result::failed, length};
  }
  std::error_code error;
  TemporaryFiles::changeUnderLock(spool.name, false, [&] {
    fs::rename(spool.name, target, error);
    return !error;
  });
  if (!error) {
    spool.name.clear();
    return {Result::done, length};
  }
  if (error != std::errc::device_or_resource_busy && error != std::errc::cross_device_link) {
    return {Result::failed, length};
  }
  spool.descriptor = _wopen(spool.name.c_str(), _O_RDONLY | _O_BINARY);
  return {spool.descriptor >= 0 ? Result::refused : Result::failed, length};
}

Delivery copyInto(const Spool& spool, std::int64_t length, const std::vector<std::int64_t>& pieces, const fs::path& target,
                  SaveMethod) {
  std::cout.flush();
  const int to = _wopen(target.c_str(), _O_WRONLY | _O_BINARY);
  if (to < 0) {
    return {Result::refused, 0};
  }
  std::error_code error;
  const bool regular = fs::is_regular_file(target, error);
  Delivery delivery{Result::failed, length};
  TemporaryFiles::holdInterruptions([&] {
    const bool done = copyBytes(spool.descriptor, to, length, pieces, delivery.targetTook) &&
                      (!regular || (_chsize_s(to, length) == 0 && _commit(to) == 0));
    delivery.result = done ? Result::done : Result::failed;
  });
  if (_close(to) != 0) {
    delivery.result = Result::failed;
  }
  return delivery;
}

void releaseReaders(const fs::path&) {}

void closeSpool(Spool& spool) {
  if (spool.descriptor >= 0) {
    _close(spool.descriptor);
    spool.descriptor = -1;
  }
  if (!spool.name.empty()) {
    TemporaryFiles::changeUnderLock(spool.name, false, [&] {
      std::error_code ignored;
      fs::remove(spool.name, ignored);
      return true;
    });
    spool.name.clear();
  }
}

}  // namespace velmora::files

namespace velmora {

std::filesystem::path pathOf(const std::string& name) { return std::filesystem::path(std::u8string(name.begin(), name.end())); }

std::string nameOf(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace velmora
