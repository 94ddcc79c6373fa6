#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Writes a file so that the previous file of that name survives any failure: the bytes go to a
// new temporary file in the target's folder, which replaces the target only once every write has
// succeeded and reached the disk. A failed save removes the temporary file.

namespace velmora {

class SafeFileWriter {
 public:
  explicit SafeFileWriter(const std::string& target);
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  virtual ~SafeFileWriter();

  // Creates the temporary file; false when the target cannot be written (a folder, a read-only
  // file, a missing folder).
  bool open();
  bool write(const unsigned char* bytes, std::size_t count);
  // Flushes to disk and renames over the target; false (temporary removed) on any failure.
  bool commit();
  // Closes and removes the temporary file; the target is left as it was.
  void discard();

 private:
  void forgetTemporary();
  void startWriteBack(long long bytes);

  std::filesystem::path target;
  std::filesystem::path temporary;
  int descriptor = -1;
  bool direct = false;
  long long writtenBytes = 0;  // the target is a device or pipe, written in place
};

}  // namespace velmora
