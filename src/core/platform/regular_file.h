// Reading a file that another program named: only a regular file, only up to a size, never blocking on a FIFO.
#pragma once

#include <sys/types.h>

#include <string>

namespace pelldra {

enum class RegularFileRead {
    Ok,
    NotFound, // cannot be opened, or names a folder
    Broken,   // not a regular file (a FIFO, a device), larger than the limit, or a read error
};

// Reads the whole file into bytes. Opened without blocking, so that a FIFO cannot hold the caller.
RegularFileRead ReadRegularFile(const std::string& path, off_t limit, std::string& bytes);

} // namespace pelldra
