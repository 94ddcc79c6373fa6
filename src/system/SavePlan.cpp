#include "system/SavePlan.h"

namespace velmora {

namespace {

SaveMethod methodFor(const TargetFacts& f) {
  if (!f.named || f.unreachable || f.folder) {
    return SaveMethod::refuse;
  }
  if (!f.exists) {
    // A link the kernel would not follow (a protected one in a shared folder) is unreachable.
    return f.fileFolderWritable ? SaveMethod::replace : SaveMethod::refuse;
  }
  if (f.standardOutput) {
    return SaveMethod::standardOutput;  // the file's bytes come after the lines printed before it
  }
  if (!f.regular) {
    return SaveMethod::inPlace;  // a device or a pipe, opened once for writing
  }
  if (!f.writable) {
    return SaveMethod::refuse;
  }
  const bool keepsIdentity = !f.throughLink && f.oneName && f.folderWritable && f.identityKeepable && !f.attributes;
  return keepsIdentity ? SaveMethod::replace : SaveMethod::inPlace;
}

}  // namespace

// A spool beside the target stays on its file system, which a rename needs, and an in-place copy
// finds out there whether the file fits before it overwrites a byte; one for a device, a pipe or a
// folder that takes no new names goes to the system's temporary folder.
SavePlan planSave(const TargetFacts& facts) {
  const SaveMethod method = methodFor(facts);
  const bool besideFits = facts.fileFolderWritable && (facts.regular || !facts.exists);
  return {method, method == SaveMethod::replace || (method != SaveMethod::refuse && besideFits)};
}

}  // namespace velmora
