#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "system/SavePlan.h"
#include "system/SpoolWriter.h"
#include "system/SystemFiles.h"

// Saves a file so that no byte reaches the target before the run has succeeded. The bytes go to a
// spool while the stages run; commit then renames the spool over the target or copies it into the
// target in place, as the save plan decides from what the target is. Until then the target is
// untouched, and a spool that is never committed leaves nothing behind.

namespace velmora {

// What a save could not do: open its target (or a spool for it), or write its bytes, after the file
// being written took the first took of them.
struct SaveFailure {
  bool opened = true;
  std::int64_t took = 0;
};

class SafeFileWriter {
 public:
  explicit SafeFileWriter(const std::string& target);
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  virtual ~SafeFileWriter();

  // Looks at the target and makes the spool; throws SaveFailure where the target cannot be written
  // (a folder, a read-only file, a missing folder, a name too long, a link loop) or no spool can be
  // made.
  void open();
  // Throws SaveFailure, or the Abandonment of an interruption that waits for the save.
  void write(const unsigned char* bytes, std::size_t count);
  // Makes the bytes written the target's contents, or throws SaveFailure.
  void commit();
  // Drops the spool; the target is left as it was.
  void discard();

 private:
  void copyIntoTarget();

  std::filesystem::path target;
  SavePlan plan;
  files::Spool spool;
  std::unique_ptr<SpoolWriter> spoolWriter;
};

}  // namespace velmora
