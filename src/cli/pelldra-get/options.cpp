// Parsing and form checks of pelldra-get's arguments.
#include "cli/pelldra-get/options.h"

#include <getopt.h>
#include <strings.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace pelldra::cli {

const char kUsage[] =
    "usage: pelldra-get [OPTIONS] URL            download a series (連番)\n"
    "       pelldra-get [OPTIONS] --list FILE    download every URL of a list (リスト)\n"
    "       pelldra-get [OPTIONS] --run-queue    work off the queue, first in first out\n"
    "       pelldra-get --queue-list             show the waiting orders: number, kind, what it fetches, folder\n"
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
    "  --proxy HOST:PORT   --proxy-local-direct   --no-proxy (go direct, whatever proxy is saved)\n"
    "  --cache             --accept-other\n"
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

// What the options said beyond the Options themselves, for the checks of their combination.
struct Given
{
    bool list = false;
    bool runQueue = false;
    bool queueList = false;
    int count = 0;           // options given
    bool seriesOnly = false; // an option that only a series order takes
    std::string orderOption; // the first option given that a queued order keeps as its own
    std::string runOption;   // the first option given that belongs to a run, not to an order
};

enum class Belongs {
    Anywhere,
    Series, // only a series order takes it
    Order,  // a request option that a queued order keeps
    Run,    // belongs to the run, not to the order: never kept in the queue
};

// "" or the problem with the value.
using Apply = std::string (*)(const std::string& value, Options& out, Given& given);

// One option: a switch (flag), a text kept as given (text), or a value to check (apply).
struct Rule
{
    const char* name;
    Belongs belongs = Belongs::Anywhere;
    bool Options::*flag = nullptr;
    std::optional<std::string> Options::*text = nullptr;
    Apply apply = nullptr;
    bool takesValue = true; // for apply
};

std::string LowerRange(const std::string& value, Options& out, Given&)
{
    return ParseRange(value, out.lower) ? "" : "--lower needs FROM:TO, each side digits or empty";
}

std::string UpperRange(const std::string& value, Options& out, Given&)
{
    return ParseRange(value, out.upper) ? "" : "--upper needs FROM:TO, each side digits or empty";
}

std::string LowerRun(const std::string& value, Options& out, Given&)
{
    if (value.empty() || value.size() > 4 || !AllDigits(value) || std::stoi(value) < 1)
        return "--lower-run needs a number from 1";
    out.lowerRun = std::stoi(value);
    return "";
}

std::string Speed(const std::string& value, Options& out, Given&)
{
    if (value != "1" && value != "2" && value != "3")
        return "--speed needs 1, 2 or 3";
    out.speed = value[0] - '0';
    return "";
}

std::string Agent(const std::string& value, Options& out, Given&)
{
    const char* names[] = {"MSIE", "Netscape", "Pelldra", "FireFox"};
    const int values[] = {kBrowserMsie, kBrowserNetscape, kBrowserPelldra, kBrowserFireFox};
    out.browser = -1;
    for (size_t i = 0; i < 4; ++i)
        if (strcasecmp(value.c_str(), names[i]) == 0)
            out.browser = values[i];
    return out.browser < 0 ? "--agent needs MSIE, Netscape, Pelldra or FireFox" : "";
}

std::string Sync(const std::string& value, Options& out, Given&)
{
    const char* names[] = {"lower", "upper", "both"};
    out.sync = 0;
    for (int i = 0; i < 3; ++i)
        if (value == names[i])
            out.sync = i + 1;
    return out.sync ? "" : "--sync needs lower, upper or both";
}

std::string Proxy(const std::string& value, Options& out, Given&)
{
    const size_t colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size())
        return "--proxy needs HOST:PORT";
    out.proxyHost = value.substr(0, colon);
    out.proxyPort = value.substr(colon + 1);
    return AllDigits(*out.proxyPort) ? "" : "プロキシのポート番号に数字以外の文字があります";
}

std::string List(const std::string& value, Options& out, Given& given)
{
    given.list = true;
    out.listPath = value;
    return "";
}

std::string RunQueue(const std::string&, Options&, Given& given)
{
    given.runQueue = true;
    return "";
}

std::string QueueList(const std::string&, Options&, Given& given)
{
    given.queueList = true;
    return "";
}

// The order is --help's.
const Rule kRules[] = {
    {"lower", Belongs::Series, {}, {}, LowerRange},
    {"upper", Belongs::Series, {}, {}, UpperRange},
    {"lower-run", Belongs::Series, {}, {}, LowerRun},
    {"whole", Belongs::Series, &Options::whole},
    {"fixed", Belongs::Series, &Options::fixed},
    {"name", Belongs::Series, {}, &Options::name},
    {"subfolder", Belongs::Series, {}, &Options::subfolder},
    {"no-subfolder", Belongs::Series, &Options::noSubfolder},
    {"dir", Belongs::Anywhere, {}, &Options::dir},
    {"speed", Belongs::Order, {}, {}, Speed},
    {"agent", Belongs::Order, {}, {}, Agent},
    {"referer", Belongs::Series, {}, &Options::referer},
    {"sync", Belongs::Series, {}, {}, Sync},
    {"cookie", Belongs::Series, {}, &Options::cookie},
    {"user", Belongs::Order, {}, &Options::user},
    {"password", Belongs::Order, {}, &Options::password},
    {"store", Belongs::Run, &Options::store},
    {"proxy", Belongs::Order, {}, {}, Proxy},
    {"proxy-local-direct", Belongs::Order, &Options::proxyLocalDirect},
    {"no-proxy", Belongs::Order, &Options::noProxy},
    {"cache", Belongs::Order, &Options::cache},
    {"accept-other", Belongs::Order, &Options::acceptOther},
    {"links", Belongs::Run, &Options::links},
    {"queue", Belongs::Anywhere, &Options::queue},
    {"list", Belongs::Anywhere, {}, {}, List},
    {"delete-list", Belongs::Anywhere, &Options::deleteList},
    {"run-queue", Belongs::Anywhere, {}, {}, RunQueue, false},
    {"queue-list", Belongs::Anywhere, {}, {}, QueueList, false},
    {"no-settings", Belongs::Anywhere, &Options::noSettings},
    {"help", Belongs::Anywhere, &Options::help},
    {"version", Belongs::Anywhere, &Options::version},
};

constexpr int kRuleCount = sizeof kRules / sizeof kRules[0];
constexpr int kFirstRule = 1000; // getopt's value of kRules[0]; the others follow

bool TakesValue(const Rule& rule)
{
    return rule.text || (rule.apply && rule.takesValue);
}

// Applies what the option says to out: "" or the problem.
std::string Take(const Rule& rule, const char* value, Options& out, Given& given)
{
    if (rule.flag)
        out.*rule.flag = true;
    if (rule.text)
        out.*rule.text = value;
    return rule.apply ? rule.apply(value ? value : "", out, given) : "";
}

const Rule& RuleOf(int value)
{
    if (value == 'h') // the one short option
        return *std::find_if(std::begin(kRules), std::end(kRules),
                             [](const Rule& r) { return std::string_view(r.name) == "help"; });
    return kRules[value - kFirstRule];
}

std::vector<option> LongOptions()
{
    std::vector<option> options;
    for (int i = 0; i < kRuleCount; ++i)
        options.push_back(
            {kRules[i].name, TakesValue(kRules[i]) ? required_argument : no_argument, nullptr, kFirstRule + i});
    options.push_back({nullptr, 0, nullptr, 0});
    return options;
}

void Note(const Rule& rule, Given& given)
{
    ++given.count;
    std::string* first = rule.belongs == Belongs::Order ? &given.orderOption
                         : rule.belongs == Belongs::Run ? &given.runOption
                                                        : nullptr;
    if (first && first->empty())
        *first = std::string("--") + rule.name;
    if (rule.belongs == Belongs::Series)
        given.seriesOnly = true;
}

// The checks of the options together, once all are read.
std::string CheckCombination(int argc, char** argv, Options& out, const Given& given)
{
    const int rest = argc - optind;
    if (given.queueList) {
        out.mode = Mode::QueueList;
        return given.count == 1 && rest == 0 ? "" : "--queue-list takes nothing else";
    }
    if (given.list + given.runQueue + (rest > 0) != 1)
        return "give one URL, or --list FILE, or --run-queue";
    if (rest > 1)
        return "give one URL";
    if (rest == 1) {
        out.mode = Mode::Series;
        out.url = argv[optind];
    } else {
        out.mode = given.list ? Mode::List : Mode::RunQueue;
        if (given.seriesOnly)
            return "range, name, subfolder, referer and cookie options are for a series URL";
        if (given.list && out.listPath.empty())
            return "リストファイル名が空白です";
    }
    if (out.deleteList && out.mode != Mode::List)
        return "--delete-list goes with --list";
    if (out.mode == Mode::RunQueue && (out.queue || out.dir))
        return "--run-queue takes neither --queue nor --dir";
    // Nothing given is dropped: a queued order runs with the options it was queued with.
    if (out.mode == Mode::RunQueue && !given.orderOption.empty())
        return given.orderOption +
               " goes with an order; --run-queue runs each order with the options it was queued with";
    if (out.queue && !given.runOption.empty())
        return given.runOption + " cannot be kept in the queue; give it with --run-queue";
    if (out.sync && !out.referer)
        return "--sync needs --referer";
    if (out.noProxy && (out.proxyHost || out.proxyLocalDirect))
        return "--no-proxy goes with neither --proxy nor --proxy-local-direct";
    return "";
}

} // namespace

std::string ParseOptions(int argc, char** argv, Options& out)
{
    const std::vector<option> longOptions = LongOptions();
    Given given;
    opterr = 0;
    optind = 1;
    int c = 0;
    while ((c = getopt_long(argc, argv, ":h", longOptions.data(), nullptr)) != -1) {
        if (c == ':')
            return std::string(argv[optind - 1]) + " needs a value";
        if (c < kFirstRule && c != 'h')
            return std::string("unknown option ") + argv[optind - 1];
        const Rule& rule = RuleOf(c);
        Note(rule, given);
        if (std::string problem = Take(rule, optarg, out, given); !problem.empty())
            return problem;
        if (out.help || out.version)
            return "";
    }
    return CheckCombination(argc, argv, out, given);
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
    if (o.noProxy)
        s.UseProxy = 0;
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
