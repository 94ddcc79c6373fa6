#include "system/SpoolWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "system/SystemFiles.h"

namespace velmora {

SpoolWriter::SpoolWriter(int fd, Kind spoolKind) : descriptor(fd), kind(spoolKind) {}

bool SpoolWriter::write(const unsigned char* bytes, std::size_t count) {
  if (total + static_cast<std::int64_t>(count) < static_cast<std::int64_t>(pageBytes)) {
    pieces.push_back(total + static_cast<std::int64_t>(count));
  }
  while (count > 0) {
    std::size_t n = count;
    if (!direct) {
      const bool firstPage = kind == Kind::renamed && total < static_cast<std::int64_t>(pageBytes);
      n = firstPage ? std::min(count, pageBytes - static_cast<std::size_t>(total)) : count;
      if (!writeThrough(bytes, n)) {
        return false;
      }
      if (firstPage && total == static_cast<std::int64_t>(pageBytes) && files::writeDirect(descriptor, true)) {
        direct = true;
        staging.reset(static_cast<unsigned char*>(::operator new[](stagedBytes, std::align_val_t{pageBytes})));
      }
    } else {
      n = std::min(count, stagedBytes - staged);
      std::memcpy(staging.get() + staged, bytes, n);
      staged += n;
      total += static_cast<std::int64_t>(n);
      if (staged == stagedBytes && !writeStaged()) {
        return false;
      }
    }
    bytes += n;
    count -= n;
  }
  return true;
}

// Through the page cache; a spool to be renamed has its write-back started every few megabytes.
bool SpoolWriter::writeThrough(const unsigned char* bytes, std::size_t count) {
  const std::size_t taken = files::writeAll(descriptor, bytes, count);
  total += static_cast<std::int64_t>(taken);
  if (taken < count) {
    return false;
  }
  if (kind == Kind::renamed && total - handedToDisk >= writeBackBytes) {
    files::startWriteBack(descriptor, handedToDisk, total - handedToDisk);
    handedToDisk = total;
  }
  return true;
}

// A file system that refuses the aligned write after all takes it through the page cache.
bool SpoolWriter::writeStaged() {
  const std::size_t count = staged;
  staged = 0;
  const std::size_t taken = files::writeAll(descriptor, staging.get(), count);
  if (taken == count) {
    return true;
  }
  if (errno != EINVAL || taken > 0) {
    return false;
  }
  files::writeDirect(descriptor, false);  // where it stays, the write below fails as any would
  direct = false;
  return files::writeAll(descriptor, staging.get(), count) == count;
}

// The last, short write goes through the page cache.
bool SpoolWriter::finish() {
  if (!direct) {
    return true;
  }
  files::writeDirect(descriptor, false);  // where it stays, the write below fails as any would
  direct = false;
  const std::size_t count = staged;
  staged = 0;
  return files::writeAll(descriptor, staging.get(), count) == count;
}

}  // namespace velmora
