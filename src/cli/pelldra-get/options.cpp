// Parsing and form checks of pelldra-get's arguments.
#include "cli/pelldra-get/options.h"

#include <getopt.h>
#include <strings.h>

#include <string_view>

namespace pelldra::cli {

const char kUsage[] =
    "usage: pelldra-get [OPTIONS] URL            download a series (連番)\n"
    "       pelldra-get [OPTIONS] --list FILE    download every URL of a list (リスト)\n"
    "       pelldra-get [OPTIONS] --run-queue    work off the queue, first in first out\n"
    "\n"
    "  --lower FROM:TO     lower range; either side may be empty: \"1:\" counts on from 1 until downloads\n"
    "                      fail, \":N\" is the same as \"N:\" (from N on), \":\" fetches the URL as typed;\n"
    "                      default: the URL's own digits on both sides\n"
    "  --upper FROM:TO     use the upper digit string with this range, read like --lower's but never \":\"\n"
    "  --lower-run N       the N-th digit run from the end of the URL is the lower string (default 1);\n"
    "                      the upper string is the run left of it\n"
    "  --whole             連番丸ごとゲット (count from 1 with no end unless a range is given)\n"
    "  --fixed             桁固定を仮定する (the URL's digit count is the numbers' width; typed ranges\n"
    "                      are filled with zeros to it)\n"
    "  --name TEMPLATE     save-name template; * stands for a number\n"
    "  --subfolder TEMPLATE  subfolder per upper number (default *)   --no-subfolder\n"
    "  --dir FOLDER        download folder (default: the current folder)\n"
    "  --speed 1|2|3       低速/中速/高速: 1, 3 or 10 downloads at a time (default 2)\n"
    "  --agent MSIE|Netscape|Pelldra|FireFox\n"
    "  --referer TEXT      --sync lower|upper|both (the Referer follows the URL's digits)\n"
    "  --cookie TEXT       --user NAME   --password TEXT (seen by other users in the process list; without\n"
    "                      it the password is asked on the terminal when the server wants one)\n"
    "  --store             answer authentication from the desktop program's credential store\n"
    "  --proxy HOST:PORT   --proxy-local-direct   --cache   --accept-other\n"
    "  --links             keep update links (pdr.hlk, private to you) in the download folders\n"
    "  --delete-list       delete the --list FILE after a run in which every download succeeded\n"
    "  --queue             append the order with its options to the queue instead of running it\n"
    "                      (--links and --store are given to --run-queue)\n"
    "  --no-settings       ignore the detail settings saved by the desktop program\n"
    "  -h, --help          show this text      --version   show the program's name and version\n"
    "\n"
    "The detail settings saved by the desktop program (詳細設定 in PELLDRA.INI: proxy, browser, Referer and its\n"
    "sync, speed, cache, accept-other, whole sequence, fixed digits, update links, user name, recorded password and\n"
    "the credential store unless it asks for a login) are the defaults; each option given overrides its setting.\n"
    "Status lines go to standard output; a progress line to standard error when it is a terminal.\n"
    "Exit status: 0 every download succeeded, 1 the run ended with failures (an open range always ends on its\n"
    "first failures), 2 the order was refused, 3 stopped by the user, 4 bad arguments.\n";

namespace {

enum : int {
    kLower = 1000,
    kUpper,
    kLowerRun,
    kWhole,
    kFixed,
    kName,
    kSubfolder,
    kNoSubfolder,
    kDir,
    kSpeed,
    kAgent,
    kReferer,
    kSync,
    kCookie,
    kUser,
    kPassword,
    kStore,
    kProxy,
    kProxyLocalDirect,
    kCache,
    kAcceptOther,
    kLinks,
    kQueue,
    kList,
    kDeleteList,
    kRunQueue,
    kNoSettings,
    kVersion,
    kHelp = 'h', // also the short option
};

const option kLongOptions[] = {
    {"lower", required_argument, nullptr, kLower},
    {"upper", required_argument, nullptr, kUpper},
    {"lower-run", required_argument, nullptr, kLowerRun},
    {"whole", no_argument, nullptr, kWhole},
    {"fixed", no_argument, nullptr, kFixed},
    {"name", required_argument, nullptr, kName},
    {"subfolder", required_argument, nullptr, kSubfolder},
    {"no-subfolder", no_argument, nullptr, kNoSubfolder},
    {"dir", required_argument, nullptr, kDir},
    {"speed", required_argument, nullptr, kSpeed},
    {"agent", required_argument, nullptr, kAgent},
    {"referer", required_argument, nullptr, kReferer},
    {"sync", required_argument, nullptr, kSync},
    {"cookie", required_argument, nullptr, kCookie},
    {"user", required_argument, nullptr, kUser},
    {"password", required_argument, nullptr, kPassword},
    {"store", no_argument, nullptr, kStore},
    {"proxy", required_argument, nullptr, kProxy},
    {"proxy-local-direct", no_argument, nullptr, kProxyLocalDirect},
    {"cache", no_argument, nullptr, kCache},
    {"accept-other", no_argument, nullptr, kAcceptOther},
    {"links", no_argument, nullptr, kLinks},
    {"queue", no_argument, nullptr, kQueue},
    {"list", required_argument, nullptr, kList},
    {"delete-list", no_argument, nullptr, kDeleteList},
    {"run-queue", no_argument, nullptr, kRunQueue},
    {"no-settings", no_argument, nullptr, kNoSettings},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

bool AllDigits(std::string_view s)
{
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool ParseRange(const std::string& text, RangeOption& range)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        return false;
    range.from = text.substr(0, colon);
    range.to = text.substr(colon + 1);
    range.given = true;
    return AllDigits(range.from) && AllDigits(range.to);
}

} // namespace

std::string ParseOptions(int argc, char** argv, Options& out)
{
    bool listGiven = false;
    bool runQueue = false;
    bool seriesOnly = false; // an option that only a series order takes was given
    std::string orderOption; // the first option given that a queued order keeps as its own
    std::string runOption;   // the first option given that belongs to a run, not to an order
    opterr = 0;
    optind = 1;
    int c = 0;
    int index = 0;
    while ((c = getopt_long(argc, argv, ":h", kLongOptions, &index)) != -1) {
        const std::string arg = optarg ? optarg : "";
        std::string& kind = c == kLinks || c == kStore ? runOption : orderOption;
        if (kind.empty() && (c == kSpeed || c == kAgent || c == kUser || c == kPassword || c == kProxy ||
                             c == kProxyLocalDirect || c == kCache || c == kAcceptOther || c == kLinks || c == kStore))
            kind = std::string("--") + kLongOptions[index].name;
        switch (c) {
        case kLower:
        case kUpper:
            seriesOnly = true;
            if (!ParseRange(arg, c == kLower ? out.lower : out.upper))
                return std::string(c == kLower ? "--lower" : "--upper") + " needs FROM:TO, each side digits or empty";
            break;
        case kLowerRun:
            seriesOnly = true;
            if (arg.empty() || arg.size() > 4 || !AllDigits(arg) || std::stoi(arg) < 1)
                return "--lower-run needs a number from 1";
            out.lowerRun = std::stoi(arg);
            break;
        case kWhole:
            seriesOnly = out.whole = true;
            break;
        case kFixed:
            seriesOnly = out.fixed = true;
            break;
        case kName:
            seriesOnly = true;
            out.name = arg;
            break;
        case kSubfolder:
            seriesOnly = true;
            out.subfolder = arg;
            break;
        case kNoSubfolder:
            seriesOnly = out.noSubfolder = true;
            break;
        case kDir:
            out.dir = arg;
            break;
        case kSpeed:
            if (arg != "1" && arg != "2" && arg != "3")
                return "--speed needs 1, 2 or 3";
            out.speed = arg[0] - '0';
            break;
        case kAgent: {
            const char* names[] = {"MSIE", "Netscape", "Pelldra", "FireFox"};
            const int values[] = {kBrowserMsie, kBrowserNetscape, kBrowserPelldra, kBrowserFireFox};
            out.browser = -1;
            for (size_t i = 0; i < 4; ++i)
                if (strcasecmp(arg.c_str(), names[i]) == 0)
                    out.browser = values[i];
            if (out.browser < 0)
                return "--agent needs MSIE, Netscape, Pelldra or FireFox";
            break;
        }
        case kReferer:
            seriesOnly = true;
            out.referer = arg;
            break;
        case kSync:
            seriesOnly = true;
            if (arg == "lower")
                out.sync = 1;
            else if (arg == "upper")
                out.sync = 2;
            else if (arg == "both")
                out.sync = 3;
            else
                return "--sync needs lower, upper or both";
            break;
        case kCookie:
            seriesOnly = true;
            out.cookie = arg;
            break;
        case kUser:
            out.user = arg;
            break;
        case kPassword:
            out.password = arg;
            break;
        case kStore:
            out.store = true;
            break;
        case kProxy: {
            const size_t colon = arg.rfind(':');
            if (colon == std::string::npos || colon == 0 || colon + 1 == arg.size())
                return "--proxy needs HOST:PORT";
            out.proxyHost = arg.substr(0, colon);
            out.proxyPort = arg.substr(colon + 1);
            if (!AllDigits(*out.proxyPort))
                return "プロキシのポート番号に数字以外の文字があります";
            break;
        }
        case kProxyLocalDirect:
            out.proxyLocalDirect = true;
            break;
        case kCache:
            out.cache = true;
            break;
        case kAcceptOther:
            out.acceptOther = true;
            break;
        case kLinks:
            out.links = true;
            break;
        case kQueue:
            out.queue = true;
            break;
        case kList:
            listGiven = true;
            out.listPath = arg;
            break;
        case kDeleteList:
            out.deleteList = true;
            break;
        case kRunQueue:
            runQueue = true;
            break;
        case kNoSettings:
            out.noSettings = true;
            break;
        case kHelp:
            out.help = true;
            return "";
        case kVersion:
            out.version = true;
            return "";
        case ':':
            return std::string(argv[optind - 1]) + " needs a value";
        default:
            return std::string("unknown option ") + argv[optind - 1];
        }
    }
    const int rest = argc - optind;
    if (listGiven + runQueue + (rest > 0) != 1)
        return "give one URL, or --list FILE, or --run-queue";
    if (rest > 1)
        return "give one URL";
    if (rest == 1) {
        out.mode = Mode::Series;
        out.url = argv[optind];
    } else {
        out.mode = listGiven ? Mode::List : Mode::RunQueue;
        if (seriesOnly)
            return "range, name, subfolder, referer and cookie options are for a series URL";
        if (listGiven && out.listPath.empty())
            return "リストファイル名が空白です";
    }
    if (out.deleteList && out.mode != Mode::List)
        return "--delete-list goes with --list";
    if (out.mode == Mode::RunQueue && (out.queue || out.dir))
        return "--run-queue takes neither --queue nor --dir";
    // Nothing given is dropped: a queued order runs with the options it was queued with.
    if (out.mode == Mode::RunQueue && !orderOption.empty())
        return orderOption + " goes with an order; --run-queue runs each order with the options it was queued with";
    if (out.queue && !runOption.empty())
        return runOption + " cannot be kept in the queue; give it with --run-queue";
    if (out.sync && !out.referer)
        return "--sync needs --referer";
    return "";
}

void ApplyToSettings(const Options& o, DetailSettings& s)
{
    if (o.speed)
        s.Speed = o.speed;
    if (o.browser >= 0)
        s.Browser = o.browser;
    if (o.whole)
        s.WholeSequence = 1;
    if (o.fixed)
        s.assumeFixedDigits = 1;
    if (o.referer)
        s.Referer = *o.referer;
    if (o.referer)
        s.syncFlags = o.sync;
    if (o.user)
        s.AuthUser = *o.user;
    if (o.password)
        s.AuthPassword = *o.password;
    if (o.proxyHost) {
        s.UseProxy = 1;
        s.ProxyHost = *o.proxyHost;
        s.ProxyPort = *o.proxyPort;
    }
    if (o.proxyLocalDirect)
        s.NoProxyForLocal = 1;
    if (o.cache)
        s.UseCache = 1;
    if (o.acceptOther)
        s.AcceptOtherFile = 1;
    if (o.links)
        s.NoUpdateLinks = 0;
    if (o.store)
        s.UseCredentialManager = 1;
}

} // namespace pelldra::cli
