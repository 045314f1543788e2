// Per-user folders and the save-folder check.
#include "core/platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace pelldra {

namespace {

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return (v && *v == '/') ? std::string(v) : fallback;
}

std::string UpToLastSlash(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

std::string TrimTrailingSlashes(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

} // namespace

std::string GetHomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return TrimTrailingSlashes(home);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return TrimTrailingSlashes(pw->pw_dir);
    return "/";
}

bool MakeFolders(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1))
        ::mkdir(path.substr(0, p).c_str(), 0777);
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetProgramFolder()
{
    const std::string base = EnvOr("XDG_DATA_HOME", GetHomeFolder() + "/.local/share");
    std::string folder = TrimTrailingSlashes(base) + "/Pelldra";
    // Logs, queue and credentials are nobody else's business: the folder is made private, and one made by an
    // older version is tightened.
    struct stat st{};
    if (::stat(folder.c_str(), &st) != 0) {
        MakeFolders(UpToLastSlash(folder));
        ::mkdir(folder.c_str(), 0700);
    } else if (S_ISDIR(st.st_mode) && (st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) {
        ::chmod(folder.c_str(), st.st_mode & 0700);
    }
    return folder;
}

std::string GetTavinConfigFolder()
{
    const std::string base = EnvOr("XDG_CONFIG_HOME", GetHomeFolder() + "/.config");
    std::string folder = TrimTrailingSlashes(base) + "/Tavin";
    MakeFolders(folder);
    return folder;
}

std::string GetRuntimeFolder()
{
    if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v && *v == '/')
        return TrimTrailingSlashes(v);
    return TrimTrailingSlashes(EnvOr("TMPDIR", "/tmp"));
}

std::string GetExecutableFolder()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "";
    const std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

int CheckFolder(std::string& s)
{
    if (s.empty()) {
        s = "保存用のフォルダが指定されていません。";
        return 1;
    }
    struct stat st{};
    if (::stat(s.c_str(), &st) != 0) {
        s = "保存用のフォルダ名が不正です。";
        return 2;
    }
    if (!S_ISDIR(st.st_mode)) {
        s = "保存用フォルダ名はフォルダを指していません。";
        return 3;
    }
    if (::access(s.c_str(), W_OK | X_OK) != 0) {
        s = "保存用のフォルダが読み取り専用です。";
        return 4;
    }
    return 0;
}

} // namespace pelldra
