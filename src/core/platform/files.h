// File helpers: unique save names, part files and whole-file atomic replacement.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "core/platform/unique_fd.h"

namespace pelldra {

// Files this program writes for the user alone: its data folder's files and the update-link files, which may hold
// a password.
inline constexpr mode_t kPrivateFileMode = 0600;

// The folder path lies in: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& path);

// The first of path, base_1.ext, base_2.ext, ... that does not exist yet (the dot must follow the last '/').
std::string MakeUniqueFileName(const std::string& path);

struct ClaimedFile
{
    UniqueFd fd;      // open for writing; invalid when nothing could be created
    std::string path; // the name actually created
    int error = 0;    // errno of the failure when fd is invalid
};

// What a part file's name ends with.
inline constexpr std::string_view kPartFileSuffix = ".pelldra-part";

// Tags for part file names: random once, then counted, which spares a system call per file. Not shared between
// threads.
class PartTags
{
public:
    PartTags();
    uint32_t Next() { return base_ + 0x9E3779B9u * ++count_; }

private:
    uint32_t base_ = 0;
    uint32_t count_ = 0;
};

// A hidden file beside path for a body in progress, ".<name>.<random>.pelldra-part", created with O_EXCL, so that a
// process killed while writing leaves a file nobody takes for the real one.
// tags, when given, names the first attempt.
ClaimedFile CreatePartFile(const std::string& path, mode_t mode = 0666, PartTags* tags = nullptr);

// How a name is claimed, the best first: a rename that refuses to replace claims it with the whole file behind it in
// one step; where the file system cannot do that, a hard link, and the part file's name goes after; without hard
// links (FAT, some network and FUSE file systems) an empty file, and the part file is renamed over it.
enum class NameClaim { Rename, Link, EmptyFile };

// Gives a complete part file its final name: the first of path, base_1.ext, ... that is free, claimed atomically
// (O_CREAT|O_EXCL semantics: two writers never get the same name, and no name ever shows a partial file). The part
// file's own name goes. 0 and finalPath, or an errno; the part file then stays where it was. way: the first way
// tried; the file system may need a later one.
int ClaimFinalName(const std::string& partPath, const std::string& path, std::string& finalPath,
                   NameClaim way = NameClaim::Rename);

// Tries path, base_1.ext, base_2.ext, ... with claim until it returns something other than EEXIST (the name is
// taken): 0 and finalPath, or that errno.
int ClaimFirstFreeName(const std::string& path, std::string& finalPath,
                       const std::function<int(const std::string&)>& claim);

// Replaces path with contents so that a reader (or a crash) sees either the old or the new file, never a half one:
// a temporary file in the same folder is written, flushed to disk and renamed over path. Returns 0 or an errno.
int ReplaceFileAtomically(const std::string& path, const std::string& contents, mode_t mode);

// Opens a private file for appending, creating it with kPrivateFileMode. Never through a symbolic link, and only a
// regular file (a FIFO would block the writer); an existing file of ours that others may read is made private, and
// one of another user's that others may read is not opened.
// Invalid when it cannot be opened so.
UniqueFd OpenPrivateForAppend(const std::string& path);

// Writes all of data to fd, going on after short writes and interruptions; false on an error.
bool WriteAll(int fd, std::string_view data);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
// Appends everything of fd from offset to its end, however far it grows meanwhile, or up to end when given; false on
// a read error.
bool ReadToEnd(int fd, off_t offset, std::string& out, off_t end = std::numeric_limits<off_t>::max());
// Opens path (open's flags and mode) only when it is a regular file, never waiting on a named pipe in its place.
// Invalid otherwise, with errno set (EINVAL for a file of another kind); st, when given, receives its fstat.
UniqueFd OpenPlainFile(const std::string& path, int flags, mode_t mode = 0, struct stat* st = nullptr);

} // namespace pelldra
