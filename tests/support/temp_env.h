// Fresh data, config, runtime and home folders for one test, restored afterwards; file and waiting helpers.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace pelldra::test {

class TempEnv
{
public:
    TempEnv();
    ~TempEnv();
    TempEnv(const TempEnv&) = delete;
    TempEnv& operator=(const TempEnv&) = delete;

    const std::string& root() const { return root_; }
    std::string dataFolder() const { return root_ + "/data/Pelldra"; } // what GetProgramFolder() gives
    std::string configFolder() const { return root_ + "/config"; }
    // A fresh sub-folder of the root, created.
    std::string makeFolder(const std::string& name) const;

private:
    std::string root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Makes a folder read-only to this user for its life: by its mode, or for root (whom modes do not stop) by the
// immutable flag. ready is false when neither is possible (root on a file system without the flag).
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(std::string path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool ready() const { return ready_; }

private:
    std::string path_;
    long flags_ = 0;
    bool immutable_ = false;
    bool ready_ = false;
};

// Writes a file (creating parents); returns false on failure.
bool WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Asks ready every few milliseconds until it holds (true) or limit has passed (false), so that a hang fails.
bool WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds limit = std::chrono::seconds(10));

} // namespace pelldra::test
