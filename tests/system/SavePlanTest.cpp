#include "system/SavePlan.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

// Which targets are renamed over, written in place or refused, and where each one's spool goes.
TEST(SavePlan, OnlyAFileWhoseIdentitySurvivesARenameIsReplaced) {
  using enum SaveMethod;
  const TargetFacts plain{.exists = true, .regular = true, .writable = true, .folderWritable = true,
                          .fileFolderWritable = true, .identityKeepable = true};
  const auto with = [&plain](auto change) {
    TargetFacts facts = plain;
    change(facts);
    return facts;
  };
  const std::vector<std::tuple<std::string, TargetFacts, SaveMethod, bool>> cases = {
      {"a plain file", plain, replace, true},
      {"a new file", {.folderWritable = true, .fileFolderWritable = true}, replace, true},
      {"a new file in a closed folder", {}, refuse, false},
      {"a folder's name", {.named = false, .folderWritable = true}, refuse, false},
      {"a link loop", {.unreachable = true, .folderWritable = true, .fileFolderWritable = true}, refuse, false},
      {"a link to a file not yet there", {.throughLink = true, .fileFolderWritable = true}, replace, true},
      {"a link to a file not yet there in a closed folder", {.throughLink = true, .folderWritable = true}, refuse, false},
      {"a folder", with([](TargetFacts& f) { f.folder = true, f.regular = false; }), refuse, false},
      {"a pipe or a device", with([](TargetFacts& f) { f.regular = false; }), inPlace, false},
      {"standard output, a pipe", with([](TargetFacts& f) { f.standardOutput = true, f.regular = false; }), standardOutput, false},
      {"standard output, a file", with([](TargetFacts& f) { f.standardOutput = true; }), standardOutput, true},
      {"a read-only file", with([](TargetFacts& f) { f.writable = false; }), refuse, false},
      {"a link", with([](TargetFacts& f) { f.throughLink = true; }), inPlace, true},
      {"a file of two names", with([](TargetFacts& f) { f.oneName = false; }), inPlace, true},
      {"another user's file", with([](TargetFacts& f) { f.identityKeepable = false; }), inPlace, true},
      {"a file with an access list", with([](TargetFacts& f) { f.attributes = true; }), inPlace, true},
      {"a file in a closed folder", with([](TargetFacts& f) { f.folderWritable = f.fileFolderWritable = false; }), inPlace, false},
      {"a link to a file in a closed folder", with([](TargetFacts& f) { f.throughLink = true, f.fileFolderWritable = false; }),
       inPlace, false},
  };
  for (const auto& [what, facts, method, beside] : cases) {
    const SavePlan plan = planSave(facts);
    EXPECT_EQ(std::make_pair(plan.method, plan.spoolBeside), std::make_pair(method, beside)) << what;
  }
}

}  // namespace
}  // namespace velmora::test
