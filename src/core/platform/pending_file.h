// A save file in the making, which shows under a name only once it is complete.
#pragma once

#include <sys/types.h>

#include <string>

#include "core/platform/files.h"
#include "core/platform/unique_fd.h"

namespace pelldra {

// Where the file system can hold a file without a name (O_TMPFILE), the file has none until it is complete, so that
// not even a killed process leaves anything behind; elsewhere it is a hidden part file beside the final name (see
// CreatePartFile). An unfinished file goes with its owner.
class PendingFile
{
public:
    enum class Way { Unnamed, Part };

    PendingFile() = default;
    // Creates the file that is to be named path; path's folder must exist. way: the first way tried; a file system
    // that cannot hold unnamed files gets a part file. Invalid, with error(), when no file could be created.
    static PendingFile Create(const std::string& path, mode_t mode, PartTags* tags = nullptr,
                              Way way = Way::Unnamed);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    ~PendingFile() { Discard(); }

    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    int error() const { return error_; }
    // The way this file took, or will take once named: an unnamed file that could not be linked into its folder was
    // copied into a part file.
    Way way() const { return way_; }

    // Closes the complete file and gives it the first free name of path, base_1.ext, ... (claimed as
    // ClaimFinalName does). 0 and finalPath, or an errno; either way the pending file is gone.
    int Finish(const std::string& path, std::string& finalPath);
    // Drops an unfinished file: nothing of it remains.
    void Discard();

private:
    // Copies an unnamed file into a part file beside path and goes on as that: 0 or an errno.
    int BecomePartFile(const std::string& path);

    UniqueFd fd_;
    std::string partPath_; // empty for an unnamed file
    Way way_ = Way::Unnamed;
    int error_ = 0;
};

} // namespace pelldra
