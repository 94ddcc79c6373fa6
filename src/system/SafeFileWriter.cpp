#include "system/SafeFileWriter.h"

#include "system/Failure.h"
#include "system/FileNames.h"
#include "system/TemporaryFiles.h"

namespace velmora {

namespace {
using Result = files::Delivery::Result;
}  // namespace

SafeFileWriter::SafeFileWriter(const std::string& name) : target(pathOf(name)) {}

SafeFileWriter::~SafeFileWriter() { discard(); }

// A replacement takes the target's owner, group and permissions before any byte is written; where
// it cannot, the target is written in place instead.
void SafeFileWriter::open() {
  const TargetFacts facts = files::factsAbout(target);
  plan = planSave(facts);
  if (plan.method == SaveMethod::refuse) {
    throw SaveFailure{false, 0};
  }
  const bool forRename = plan.method == SaveMethod::replace;
  const std::string name = nameOf(files::destinationOf(target).filename());
  spool = files::createSpool(plan.spoolBeside ? files::folderOfFile(target) : std::filesystem::path(), name,
                             forRename, !facts.exists);
  if (forRename && facts.exists && (spool.descriptor < 0 || !files::takeIdentity(spool, target))) {
    files::closeSpool(spool);
    plan = {SaveMethod::inPlace, false};
    spool = files::createSpool({}, name, false, false);
  }
  if (spool.descriptor < 0) {
    throw SaveFailure{false, 0};
  }
  spoolWriter = std::make_unique<SpoolWriter>(
      spool.descriptor, plan.method == SaveMethod::replace ? SpoolWriter::Kind::renamed : SpoolWriter::Kind::copied);
}

void SafeFileWriter::write(const unsigned char* bytes, std::size_t count) {
  if (TemporaryFiles::interruptionPending()) {
    discard();
    throw Abandonment{Abandonment::Cause::interrupted};
  }
  if (!spoolWriter->write(bytes, count)) {
    throw SaveFailure{true, spoolWriter->written()};
  }
}

void SafeFileWriter::commit() {
  if (!spoolWriter->finish()) {
    discard();
    throw SaveFailure{true, spoolWriter->written()};
  }
  if (plan.method == SaveMethod::replace) {
    const files::Delivery renamed = files::renameOver(spool, spoolWriter->written(), files::destinationOf(target));
    if (renamed.result != Result::refused) {
      discard();
      if (renamed.result == Result::failed) {
        throw SaveFailure{true, renamed.targetTook};
      }
      return;
    }
  }
  copyIntoTarget();
}

void SafeFileWriter::copyIntoTarget() {
  const files::Delivery copy = files::copyInto(spool, spoolWriter->written(), spoolWriter->firstPieces(), target, plan.method);
  discard();
  if (copy.result != Result::done) {
    throw SaveFailure{copy.result == Result::failed, copy.targetTook};
  }
}

void SafeFileWriter::discard() { files::closeSpool(spool); }

}  // namespace velmora
