// LogFollower: reads a log file that another program may still be appending to, a little more at each call.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pelldra {

enum class LogEncoding {
    Unknown, // not read yet, or neither UTF-8 nor CP932: shown as UTF-8 with its bad bytes marked
    Utf8,
    Cp932, // the older program's logs
};

struct LogUpdate
{
    bool changed = false;           // anything below differs from the last update
    bool restarted = false;         // the lines shown so far are void: the file was replaced, cut, removed or re-read
    std::vector<std::string> lines; // new complete lines, UTF-8 where the file's text could be decoded
    std::string tail;               // the unfinished last line so far ("" for none); it may still grow
};

// A day's log is a few megabytes; of a larger file only the newest part this long is read, so that a huge (or sparse)
// file cannot take all memory.
inline constexpr off_t kLogReadLimit = off_t{16} << 20;

class LogFollower
{
public:
    explicit LogFollower(std::string path);

    // What is new since the last call. The encoding is decided for the whole file: UTF-8 when every byte so far
    // is, otherwise CP932; a UTF-8 file that turns out not to be one is read again from its start. When more than
    // kLogReadLimit bytes are new, the older ones are left out: what is read starts at a line within the newest part.
    LogUpdate Read();

    const std::string& Path() const { return path_; }
    bool Exists() const { return open_; }
    LogEncoding Encoding() const { return encoding_; }
    // Whether the lines read so far leave out the file's older part.
    bool LeavesOutStart() const { return start_ > 0; }

private:
    void Forget(off_t from = 0);
    LogUpdate ReadFrom(int fd, off_t end);
    std::string Decode(const std::string& bytes) const;

    std::string path_;
    bool open_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    off_t start_ = 0;          // where reading began: 0, or within the newest part of a file too large to read whole
    off_t offset_ = 0;         // where reading goes on
    bool inFirstLine_ = false; // reading began inside a line, whose rest is not shown
    std::string pending_;      // bytes after the last line end
    std::string shownTail_;    // the tail given with the last update
    LogEncoding encoding_ = LogEncoding::Unknown;
    bool decided_ = false;
};

} // namespace pelldra
