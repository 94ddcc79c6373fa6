#pragma once

// How a save reaches its target, decided from facts about the target alone. The bytes always go
// to a spool file first, and nothing reaches the target before the run has succeeded; the plan
// says how they get there then.
//
// Replacing, by renaming the spool over the target, is atomic: the target is the previous file or
// the complete new one, whatever happens. It is chosen only where the new file can take the
// target's place unchanged: a regular file with one name, reached by that name rather than through
// a link, in a folder that takes new names, whose owner and group the new file can keep and that
// carries no access list or other attributes that a new file would lack. A name that leads to no
// file yet, directly or through links, is given to the finished spool in the same way: the new
// file appears whole or not at all. Every other target is written in place at the commit, as the
// file named, through the same open any tool would make.

namespace velmora {

struct TargetFacts {
  bool named = true;              // the name ends in a file's name, not in a folder separator
  bool unreachable = false;       // looking the name up failed other than by its absence (a loop, a
                                  // name too long, a folder that may not be searched)
  bool exists = false;            // the name leads to a file, links followed
  bool throughLink = false;       // the name itself is a symbolic link
  bool folder = false;
  bool regular = false;
  bool standardOutput = false;    // the file this process's standard output writes to
  bool writable = false;          // this process may open it for writing
  bool oneName = true;            // a single hard link
  bool folderWritable = false;    // the folder that holds the name takes new names
  bool fileFolderWritable = false;  // so does the folder that holds the file the name leads to
                                    // (through any links, also to a file not yet there)
  bool identityKeepable = false;  // a new file can be given the target's owner and group
  bool attributes = false;        // an access list or other attributes a new file would not have
};

enum class SaveMethod {
  refuse,          // "I/O error" at the save; the target is never touched
  replace,         // rename a spool beside the file the name leads to over it, or give it that
                   // name where there is no file yet
  inPlace,         // overwrite the target as it stands
  standardOutput,  // copy to the process's own standard output
};

struct SavePlan {
  SaveMethod method = SaveMethod::refuse;
  // The spool goes beside the target (else in the system's temporary folder): for a rename in the
  // folder of the name, otherwise in the folder of the file the name leads to.
  bool spoolBeside = false;
};

SavePlan planSave(const TargetFacts& facts);

}  // namespace velmora
