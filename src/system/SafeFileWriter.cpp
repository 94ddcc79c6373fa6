#include "system/SafeFileWriter.h"

#include "system/FileNames.h"
#include "system/TemporaryFiles.h"

namespace velmora {

namespace {
constexpr const char* cannotOpen = "I/O error";
constexpr const char* cannotWrite = "Error writing buffer!";
}  // namespace

SafeFileWriter::SafeFileWriter(const std::string& name) : target(pathOf(name)) {}

SafeFileWriter::~SafeFileWriter() { discard(); }

// A replacement takes the target's owner, group and permissions before any byte is written; where
// it cannot, the target is written in place instead.
bool SafeFileWriter::open() {
  const TargetFacts facts = files::factsAbout(target);
  plan = planSave(facts);
  if (plan.method == SaveMethod::refuse) {
    return false;
  }
  const bool forRename = plan.method == SaveMethod::replace;
  spool = files::createSpool(plan.spoolBeside ? files::folderOfFile(target) : std::filesystem::path(),
                             nameOf(files::destinationOf(target).filename()), forRename,
                             !facts.exists);
  if (forRename && facts.exists && (spool.descriptor < 0 || !files::takeIdentity(spool, target))) {
    files::closeSpool(spool);
    plan = {SaveMethod::inPlace, false};
    spool = files::createSpool({}, nameOf(target.filename()), false, false);
  }
  if (spool.descriptor < 0) {
    return false;
  }
  spoolWriter = std::make_unique<SpoolWriter>(
      spool.descriptor, plan.method == SaveMethod::replace ? SpoolWriter::Kind::renamed : SpoolWriter::Kind::copied);
  return true;
}

bool SafeFileWriter::write(const unsigned char* bytes, std::size_t count) {
#ifdef _WIN32
  if (TemporaryFiles::interruptionPending()) {
    discard();
    TemporaryFiles::endInterrupted();
  }
#endif
  return spoolWriter->write(bytes, count);
}

std::string SafeFileWriter::commit() {
  if (!spoolWriter->finish()) {
    discard();
    return cannotWrite;
  }
  if (plan.method == SaveMethod::replace) {
    const files::Outcome renamed = files::renameOver(spool, files::destinationOf(target));
    if (renamed != files::Outcome::refused) {
      discard();
      return renamed == files::Outcome::done ? "" : cannotWrite;
    }
  }
  return copyIntoTarget();
}

// A write to the target that fails says which part of the file it lacks, as a direct save did.
std::string SafeFileWriter::copyIntoTarget() {
  const files::Copy copy = files::copyInto(spool, spoolWriter->written(), target, plan.method);
  discard();
  if (copy.outcome != files::Outcome::failed) {
    return copy.outcome == files::Outcome::done ? "" : cannotOpen;
  }
  return copy.targetTook < 0 || copy.targetTook >= 44 ? cannotWrite
         : copy.targetTook < 36                      ? "Error writing wav!"
                                                     : "Error writing chk!";
}

void SafeFileWriter::discard() { files::closeSpool(spool); }

}  // namespace velmora
