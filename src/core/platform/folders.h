// Where the program keeps its files, and the save-folder check.
#pragma once

#include <string>

namespace pelldra {

// The per-user data folder ($XDG_DATA_HOME/Pelldra, default ~/.local/share/Pelldra), created on first use with
// mode 0700; an existing one that others may enter is made 0700.
// No trailing slash. Settings, queue, logs and credentials live here.
std::string GetProgramFolder();
// The per-user configuration folder of the maker's programs ($XDG_CONFIG_HOME/Tavin), created on first use.
std::string GetTavinConfigFolder();
// Folder for the single-instance lock ($XDG_RUNTIME_DIR, else the temporary folder).
std::string GetRuntimeFolder();
// The user's home folder: the fallback save folder.
std::string GetHomeFolder();
// The folder of the running executable.
std::string GetExecutableFolder();

// Checks a save folder. Returns 0 when usable; otherwise 1..4 and replaces s with the message to show:
// 1 empty, 2 cannot be examined, 3 not a folder, 4 not writable by this user. Code 5 (offline) never occurs here.
int CheckFolder(std::string& s);

// Creates a folder and its missing parents (mode 0777 less umask). True when it exists afterwards.
bool MakeFolders(const std::string& path);

} // namespace pelldra
