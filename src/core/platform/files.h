// File helpers: unique save names and whole-file atomic replacement.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "core/platform/unique_fd.h"

namespace pelldra {

// The first of path, base_1.ext, base_2.ext, ... that does not exist yet (the dot must follow the last '/').
std::string MakeUniqueFileName(const std::string& path);

struct ClaimedFile
{
    UniqueFd fd;      // open for writing; invalid when nothing could be created
    std::string path; // the name actually created
    int error = 0;    // errno of the failure when fd is invalid
};

// Like MakeUniqueFileName, but creates the file with O_CREAT|O_EXCL so that two writers racing for the same
// name never share a file: whoever loses moves on to the next "_%d" name.
ClaimedFile ClaimUniqueFile(const std::string& path, mode_t mode = 0666);

// Replaces path with contents so that a reader (or a crash) sees either the old or the new file, never a half one:
// a temporary file in the same folder is written, flushed to disk and renamed over path. Returns 0 or an errno.
int ReplaceFileAtomically(const std::string& path, const std::string& contents, mode_t mode);

// Writes all of data to fd, going on after short writes and interruptions; false on an error.
bool WriteAll(int fd, std::string_view data);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

} // namespace pelldra
