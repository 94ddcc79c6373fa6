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

class SafeFileWriter {
 public:
  explicit SafeFileWriter(const std::string& target);
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  virtual ~SafeFileWriter();

  // Looks at the target and makes the spool; false when the target cannot be written (a folder, a
  // read-only file, a missing folder, a name too long, a link loop) or no spool can be made.
  bool open();
  bool write(const unsigned char* bytes, std::size_t count);
  // Makes the bytes written the target's contents: the failure's message, or "".
  std::string commit();
  // Drops the spool; the target is left as it was.
  void discard();

  SaveMethod method() const { return plan.method; }

 private:
  std::string copyIntoTarget();

  std::filesystem::path target;
  SavePlan plan;
  files::Spool spool;
  std::unique_ptr<SpoolWriter> spoolWriter;
};

}  // namespace velmora
