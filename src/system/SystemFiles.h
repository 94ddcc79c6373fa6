#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "system/SavePlan.h"

// The system calls of a save, one set per platform (SystemFilesPosix.cpp, SystemFilesWindows.cpp),
// with what both share in SystemFiles.cpp: what a target is, the spool file that takes the bytes
// while the stages run, and the two ways the bytes reach the target at the commit. They report
// what became of the bytes; what that means to the user is for the caller to say.

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
// Closes the spool and removes its name, if it has one.
void closeSpool(Spool& spool);

// A file open for reading: its descriptor, or -1 where it cannot be opened (a folder is refused);
// standard input's, a descriptor of its own; its size; its close.
int openForReading(const std::filesystem::path& name);
int openStandardInput();
std::int64_t sizeOf(int descriptor);
void closeFile(int descriptor);
// Whether a file open for reading must be read to its end to know its bytes: a pipe (or a
// socket), whose bytes can be read only once, or a file that says it is empty (a file of the
// system's, whose length shows only when it is read).
bool readWholeFirst(int descriptor);
// The whole of a pipe's bytes, read to its end into an unnamed temporary file: its descriptor, or
// -1 where none can be made or a read or write fails.
int takeWhole(int pipe);

// Writes count bytes: how many the file took, count unless a write failed.
std::size_t writeAll(int descriptor, const unsigned char* bytes, std::size_t count);
// Reads up to count bytes from offset on: how many were read (fewer at the end of the file), or
// -1 where the read failed.
std::int64_t readAt(int descriptor, std::int64_t offset, unsigned char* bytes, std::size_t count);
// Has writes bypass the page cache (large, aligned ones only), or go through it again; false
// where the file system or the system cannot.
bool writeDirect(int descriptor, bool on);
// Starts writing the bytes [from, from + count) to the disk without waiting, where the system can.
void startWriteBack(int descriptor, std::int64_t from, std::int64_t count);

// Gives the spool the target's owner, group and permissions, and no access list (a folder's default
// one, which a new file inherits, would change who may read the replaced file); false where they
// cannot be kept.
bool takeIdentity(const Spool& spool, const std::filesystem::path& target);

// What became of the bytes at the commit: the target has them, or it refused them (it cannot be
// opened, or its name cannot be replaced: the spool is still there to be copied instead), or a
// step failed; then targetTook says how many bytes the target took before a write to it failed
// (all of them where something else failed).
struct Delivery {
  enum class Result { done, refused, failed };
  Result result = Result::failed;
  std::int64_t targetTook = 0;
};

// Puts the spool's bytes on the disk and renames it over target, or gives it that name where no file
// has it.
Delivery renameOver(Spool& spool, std::int64_t length, const std::filesystem::path& target);
// Writes the spool's first length bytes into the target as it stands, or to standard output, the
// first of them in the pieces that end at pieces. A regular target is locked against other saves in
// place, first gets room for them on its disk (where there is none, it is left as it was), is
// written with interruptions held, gets that length and reaches the disk.
Delivery copyInto(const Spool& spool, std::int64_t length, const std::vector<std::int64_t>& pieces,
                  const std::filesystem::path& target, SaveMethod method);
// Copies the first length bytes of a file into another, in writes that end at pieces and then a
// megabyte at a time; the bytes the other took before a write failed, or length.
bool copyBytes(int from, int to, std::int64_t length, const std::vector<std::int64_t>& pieces, std::int64_t& took);
// A pipe named as the target that was never written: a reader waiting on it sees its end.
void releaseReaders(const std::filesystem::path& target);

// A hidden name for a spool beside the target, unique per call: "." + name + "." + 8 characters +
// ".tmp", the part taken from the target's name shortened so that the whole stays within the 255
// bytes of a file name, cut before a character, not inside one.
std::string temporaryName(const std::string& targetName);

}  // namespace velmora::files
