// pelldra-get's command line: what was asked for, checked for form but not yet against the URL or the folders.
#pragma once

#include <optional>
#include <string>

#include "core/orders/detail_settings.h"

namespace pelldra::cli {

enum class Mode {
    Series,    // a URL
    List,      // --list FILE
    RunQueue,  // --run-queue
    QueueList, // --queue-list
};

struct RangeOption
{
    bool given = false;
    std::string from; // digits or empty
    std::string to;
};

struct Options
{
    Mode mode = Mode::Series;
    bool help = false;
    bool version = false;
    std::string url;
    std::string listPath;
    bool deleteList = false;
    RangeOption lower;
    RangeOption upper;
    int lowerRun = 1; // the lower string is the N-th digit run from the end
    bool whole = false;
    bool fixed = false;
    std::optional<std::string> name;
    std::optional<std::string> subfolder;
    bool noSubfolder = false;
    std::optional<std::string> dir;
    int speed = 0;    // 0: not given
    int browser = -1; // -1: not given
    std::optional<std::string> referer;
    int sync = 0;
    std::optional<std::string> cookie;
    std::optional<std::string> user;
    std::optional<std::string> password;
    bool store = false;
    std::optional<std::string> proxyHost;
    std::optional<std::string> proxyPort;
    bool proxyLocalDirect = false;
    bool noProxy = false; // a proxy saved in the settings is not used
    bool cache = false;
    bool acceptOther = false;
    bool links = false;
    bool queue = false;
    bool noSettings = false; // start from the first-run settings, not from the desktop program's saved ones
};

extern const char kUsage[];

// Parses argv; "" on success, else the problem in one line (without the program's name).
std::string ParseOptions(int argc, char** argv, Options& out);

// The options that are detail settings, laid over settings.
void ApplyToSettings(const Options& options, DetailSettings& settings);

} // namespace pelldra::cli
