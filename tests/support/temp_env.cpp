// Fresh per-test folders.
#include "support/temp_env.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "core/platform/unique_fd.h"

namespace pelldra::test {

namespace fs = std::filesystem;

TempEnv::TempEnv()
{
    std::string templ = (fs::temp_directory_path() / "pelldra-test-XXXXXX").string();
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = templ;
    const std::map<std::string, std::string> vars = {
        {"XDG_DATA_HOME", root_ + "/data"},
        {"XDG_CONFIG_HOME", root_ + "/config"},
        {"XDG_RUNTIME_DIR", root_ + "/runtime"},
        {"HOME", root_ + "/home"},
    };
    for (const auto& [name, value] : vars) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        fs::create_directories(value);
        ::chmod(value.c_str(), 0700);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
}

TempEnv::~TempEnv()
{
    for (const auto& [name, value] : saved_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::error_code ec;
    // Tests may leave read-only folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(root_, ec); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_directory(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

std::string TempEnv::makeFolder(const std::string& name) const
{
    const std::string p = root_ + "/" + name;
    fs::create_directories(p);
    return p;
}

ReadOnlyFolder::ReadOnlyFolder(std::string path) : path_(std::move(path))
{
    if (::geteuid() != 0) {
        ready_ = ::chmod(path_.c_str(), 0555) == 0;
        return;
    }
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid() && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags_) == 0) {
        long on = flags_ | FS_IMMUTABLE_FL;
        ready_ = immutable_ = ::ioctl(fd.get(), FS_IOC_SETFLAGS, &on) == 0;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (!immutable_) {
        ::chmod(path_.c_str(), 0755);
        return;
    }
    // Cleared however the test ends, so that the folder can be removed.
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags_);
}

bool WriteFile(const std::string& path, const std::string& contents)
{
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << contents;
    return static_cast<bool>(f);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

bool WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds limit)
{
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !ready();
         std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

} // namespace pelldra::test
