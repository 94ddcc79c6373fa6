#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "system/SavePlan.h"

// The system calls of a save, one set per platform (SystemFilesPosix.cpp, SystemFilesWindows.cpp):
// what a target is, the spool file that takes the bytes while the stages run, and the two ways the
// bytes reach the target at the commit.

namespace velmora::files {

// What the save plan needs to know of the target named.
TargetFacts factsAbout(const std::filesystem::path& target);
// The folder that holds the name, and the one that holds the file it leads to, links followed.
std::filesystem::path folderOf(const std::filesystem::path& target);
std::filesystem::path folderOfFile(const std::filesystem::path& target);
// The name the target's chain of symbolic links ends in (the target itself when it is no link),
// also where that name has no file yet.
std::filesystem::path destinationOf(const std::filesystem::path& target);
// TMPDIR where it names a folder, else the system's own temporary folder.
std::filesystem::path temporaryFolder();

// A file open for reading and writing. It has no name where the system allows (name empty), and
// nothing can then leave it behind; a named one is registered with TemporaryFiles.
struct Spool {
  int descriptor = -1;
  std::filesystem::path name;
};

// A spool in folder, or in the system's temporary folder when folder is empty. One that must be
// renamed over targetName later keeps, where it needs a name at once, a hidden name derived from
// it; a new file's permissions follow the umask, an existing target's are set by takeIdentity.
// Its descriptor is -1 when no file can be made.
Spool createSpool(const std::filesystem::path& folder, const std::string& targetName, bool forRename, bool newFile);

bool writeAll(int descriptor, const unsigned char* bytes, std::size_t count);
// Has writes bypass the page cache (large, aligned ones only), or go through it again; false
// where the file system or the system cannot.
bool writeDirect(int descriptor, bool on);
// Starts writing the bytes [from, from + count) to the disk without waiting, where the system can.
void startWriteBack(int descriptor, std::int64_t from, std::int64_t count);

// Gives the spool the target's owner, group and permissions, and no access list (a folder's default
// one, which a new file inherits, would change who may read the replaced file); false where they
// cannot be kept.
bool takeIdentity(const Spool& spool, const std::filesystem::path& target);

enum class Outcome { done, refused, failed };

// Puts the spool's bytes on the disk and renames it over target, or gives it that name where no file
// has it (refused: the name cannot be replaced, as for a file mounted over it, and the spool is
// still there to be copied instead).
Outcome renameOver(Spool& spool, const std::filesystem::path& target);
// Writes the spool's first length bytes into the target as it stands (refused: it cannot be
// opened), or to standard output. A regular target is locked against other saves in place, first
// gets room for them on its disk (where there is none, it is left as it was), is written with
// interruptions held, gets that length and reaches the disk. targetTook: the bytes the target took
// before a write to it failed, or -1.
struct Copy {
  Outcome outcome = Outcome::failed;
  std::int64_t targetTook = -1;
};
Copy copyInto(const Spool& spool, std::int64_t length, const std::filesystem::path& target, SaveMethod method);
// A pipe named as the target that was never written: a reader waiting on it sees its end.
void releaseReaders(const std::filesystem::path& target);

// Opens standard input, output and error on the null device where they are closed, before any
// other file is opened, so that no file the program opens is taken for one of them.
void openClosedStandardStreams();

// A hidden name for a spool beside the target, unique per call: "." + name + "." + 8 characters +
// ".tmp", the part taken from the target's name shortened so that the whole stays within the 255
// bytes of a file name, cut before a character, not inside one.
std::string temporaryName(const std::string& targetName);

// Closes the spool and removes its name, if it has one.
void closeSpool(Spool& spool);

}  // namespace velmora::files
