#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Writes a file so that the previous file of that name survives any failure, while keeping what
// makes the target what it is. Where the new file can take the target's place unchanged (a
// regular file with one link, reached by its own name, in a folder we may write to, whose owner,
// group and permissions the new file can take), the bytes go to a new temporary file beside it,
// which replaces it by a rename only once every write has succeeded and reached the disk.
// Otherwise (a link, several hard links, another owner, a device or pipe, a read-only folder, a
// file the rename cannot replace) the target itself is written in place, as an editor does for
// such files: the kernel then follows links and checks permissions as for any open.

namespace velmora {

class SafeFileWriter {
 public:
  explicit SafeFileWriter(const std::string& target);
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  virtual ~SafeFileWriter();

  // Opens what will be written; false when the target cannot be written (a folder, a read-only
  // file, a missing folder, a name too long, a link loop). Nothing is written to it yet.
  bool open();
  bool write(const unsigned char* bytes, std::size_t count);
  // Makes the bytes written the target's contents, on the disk; false on any failure, with the
  // temporary file removed.
  bool commit();
  // Closes and removes the temporary file; the target is left as it was.
  void discard();

 private:
  enum class Mode { closed, replace, inPlace, spool };

  bool openReplacement(bool keepExisting);
  bool openInPlace(bool create);
  bool openSpool();
  bool replaceTarget();
  bool finishInPlace();
  bool copyIntoTarget();
  bool closeDescriptor();
  void startWriteBack(std::int64_t bytes);

  std::filesystem::path target;
  std::filesystem::path temporary;
  int descriptor = -1;
  Mode mode = Mode::closed;
  std::int64_t writtenBytes = 0;  // bytes written so far: where the next write begins
  std::int64_t handedToDisk = 0;  // bytes whose write-back has been started
};

}  // namespace velmora
