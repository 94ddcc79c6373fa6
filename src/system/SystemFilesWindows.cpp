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

// The two headers and then the samples in writes of their own, as on other systems.
bool copyBytes(int from, int to, std::int64_t length, std::int64_t& targetTook) {
  if (_lseeki64(from, 0, SEEK_SET) != 0) {
    return false;
  }
  std::vector<unsigned char> buffer(std::size_t{1} << 20);
  for (std::int64_t at = 0; at < length;) {
    const std::int64_t piece = at < 36 ? 36 - at : at < 44 ? 44 - at : std::int64_t{1} << 20;
    const int n = _read(from, buffer.data(), static_cast<unsigned>(std::min(length - at, piece)));
    if (n <= 0) {
      return false;
    }
    if (!writeAll(to, buffer.data(), static_cast<std::size_t>(n))) {
      targetTook = at;
      return false;
    }
    at += n;
  }
  return true;
}

}  // namespace

fs::path folderOf(const fs::path& target) { return target.parent_path().empty() ? fs::path(".") : target.parent_path(); }

fs::path folderOfFile(const fs::path& target) { return folderOf(target); }

fs::path destinationOf(const fs::path& target) { return target; }

fs::path temporaryFolder() {
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error);
  return error || folder.empty() ? fs::path(".") : folder;
}

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

bool writeAll(int descriptor, const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const int written = _write(descriptor, bytes, static_cast<unsigned>(std::min<std::size_t>(count, 1 << 30)));
    if (written <= 0) {
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

bool writeDirect(int, bool) { return false; }

void startWriteBack(int, std::int64_t, std::int64_t) {}

bool takeIdentity(const Spool& spool, const fs::path& target) {
  std::error_code error;
  fs::permissions(spool.name, fs::status(target, error).permissions(), error);
  return !error;
}

Outcome renameOver(Spool& spool, const fs::path& target) {
  const bool flushed = _commit(spool.descriptor) == 0;
  const int descriptor = spool.descriptor;
  spool.descriptor = -1;
  if (_close(descriptor) != 0 || !flushed) {
    return Outcome::failed;
  }
  std::error_code error;
  TemporaryFiles::changeUnderLock(spool.name, false, [&] {
    fs::rename(spool.name, target, error);
    return !error;
  });
  if (!error) {
    spool.name.clear();
    return Outcome::done;
  }
  if (error != std::errc::device_or_resource_busy && error != std::errc::cross_device_link) {
    return Outcome::failed;
  }
  spool.descriptor = _wopen(spool.name.c_str(), _O_RDONLY | _O_BINARY);
  return spool.descriptor >= 0 ? Outcome::refused : Outcome::failed;
}

Copy copyInto(const Spool& spool, std::int64_t length, const fs::path& target, SaveMethod) {
  std::cout.flush();
  const int to = _wopen(target.c_str(), _O_WRONLY | _O_BINARY);
  if (to < 0) {
    return {Outcome::refused};
  }
  std::error_code error;
  const bool regular = fs::is_regular_file(target, error);
  Copy copy;
  TemporaryFiles::holdInterruptions([&] {
    const bool done = copyBytes(spool.descriptor, to, length, copy.targetTook) &&
                      (!regular || (_chsize_s(to, length) == 0 && _commit(to) == 0));
    copy.outcome = done ? Outcome::done : Outcome::failed;
  });
  if (_close(to) != 0) {
    copy.outcome = Outcome::failed;
  }
  return copy;
}

void releaseReaders(const fs::path&) {}

void openClosedStandardStreams() {}

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
