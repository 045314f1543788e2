// pelldra-send: hands a series URL or a URL list to the Pelldra window the way LinkScout does.
#include <fcntl.h>
#include <getopt.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "cli/pelldra-send/send_order.h"
#include "core/linkscout/linkscout_orders.h"
#include "core/platform/broadcast_names.h"
#include "core/platform/folders.h"
#include "core/platform/programs.h"
#include "core/platform/single_instance.h"
#include "core/platform/unique_fd.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"

namespace pelldra::cli {
namespace {

using namespace std::chrono_literals;

enum : int {
    kExitTaken = 0,
    kExitNotTaken = 1,
    kExitRefused = 2,
    kExitBadArguments = 4,
};

const char kUsage[] =
    "usage: pelldra-send [--now] [--dir FOLDER] URL\n"
    "       pelldra-send --list FILE [--page URL] [--type LINK|IMAGE] [--dir FOLDER]\n"
    "\n"
    "Hands an order to the Pelldra window, starting the window when none runs.\n"
    "  URL                 a series built from the URL as the window builds it, shown in the window\n"
    "  --now               run the series at once from 1 with no end (連番丸ごとゲット)\n"
    "  --list FILE         download every URL of the list FILE\n"
    "  --page URL          the page the list was taken from\n"
    "  --type LINK|IMAGE   the list holds the links or the images of the page; the window gets a copy,\n"
    "                      which it deletes after the run\n"
    "  --dir FOLDER        the folder to save into (default: the list's folder, or for a URL the current\n"
    "                      folder); a shown series takes the window's folder unless its detail setting\n"
    "                      LinkScoutの保存フォルダと同じにする is on\n"
    "  -h, --help          show this text      --version   show the program's name and version\n"
    "\n"
    "Exit status: 0 the window took the order, 1 it did not (no window could be started or told, or it did\n"
    "not answer in time; the order is taken back), 2 the order was refused, 4 bad arguments.\n";

// How long a window may take to start and take the order, and how long an earlier order may keep the slot.
constexpr auto kTakeLimit = 60s;
constexpr auto kPoll = 100ms;

// Started by a file manager, this program has no terminal to complain to: the desktop's notifications show it.
void NotifyDesktop(const std::string& message)
{
    if (::isatty(STDIN_FILENO) || ::isatty(STDERR_FILENO) || !QCoreApplication::instance())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString notifications = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage notify = QDBusMessage::createMethodCall(notifications, QStringLiteral("/org/freedesktop/Notifications"),
                                                         notifications, QStringLiteral("Notify"));
    notify << QStringLiteral("Pelldra") << 0u << QStringLiteral("io.github.pelldra.Pelldra")
           << QString::fromUtf8("Pelldraに送る") << QString::fromStdString(message) << QStringList() << QVariantMap()
           << -1;
    // Not waiting for the answer (there may be no notification service); a round trip to the bus itself makes sure
    // the message has left before this process ends.
    if (bus.isConnected() && bus.send(notify)) {
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                QStringLiteral("/org/freedesktop/DBus"),
                                                QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
                 QDBus::Block, 2000);
    }
}

void Complain(const std::string& message, const std::string& subject = {})
{
    const std::string line = subject + (subject.empty() ? "" : ": ") + message;
    std::fprintf(stderr, "pelldra-send: %s\n", line.c_str());
    NotifyDesktop(line);
}

int BadArguments(const std::string& problem)
{
    Complain(problem + "; see --help");
    return kExitBadArguments;
}

enum : int {
    kNow = 1000,
    kList,
    kPage,
    kType,
    kDir,
    kVersion,
    kHelp = 'h',
};

const option kLongOptions[] = {
    {"now", no_argument, nullptr, kNow},         {"list", required_argument, nullptr, kList},
    {"page", required_argument, nullptr, kPage}, {"type", required_argument, nullptr, kType},
    {"dir", required_argument, nullptr, kDir},   {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion}, {nullptr, 0, nullptr, 0},
};

struct Arguments
{
    SendRequest request;
    bool help = false;
    bool version = false;
};

std::string ParseArguments(int argc, char** argv, Arguments& out)
{
    bool listGiven = false;
    bool listOnly = false;
    opterr = 0;
    int c = 0;
    while ((c = getopt_long(argc, argv, ":h", kLongOptions, nullptr)) != -1) {
        const std::string arg = optarg ? optarg : "";
        switch (c) {
        case kNow:
            out.request.now = true;
            break;
        case kList:
            listGiven = true;
            out.request.list = arg;
            break;
        case kPage:
            listOnly = true;
            out.request.page = arg;
            break;
        case kType:
            listOnly = true;
            if (arg != "LINK" && arg != "IMAGE")
                return "--type needs LINK or IMAGE";
            out.request.type = arg;
            break;
        case kDir:
            out.request.dir = arg;
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
    if (listGiven == (rest > 0) || rest > 1)
        return "give one URL, or --list FILE";
    if (rest == 1)
        out.request.url = argv[optind];
    if (listGiven && out.request.list.empty())
        return "リストファイル名が空白です";
    if (listGiven && out.request.now)
        return "--now goes with a URL; a list always runs at once";
    if (!listGiven && listOnly)
        return "--page and --type go with --list";
    return "";
}

// Senders take turns: the values of one order must not mix with another's before the window has taken it.
class SenderTurn
{
public:
    explicit SenderTurn(const std::string& folder)
        : fd_(::open((folder + "/.send.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
    }
    bool Wait(std::chrono::steady_clock::duration limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (fd_.valid()) {
            if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0)
                return true;
            if (std::chrono::steady_clock::now() >= end)
                break;
            std::this_thread::sleep_for(kPoll);
        }
        return false;
    }

private:
    UniqueFd fd_;
};

// Waits while value holds something; true once it is empty or no longer holds text.
bool WaitUntilGone(CTavinRegKey& key, const char* value, const std::string& text)
{
    const auto end = std::chrono::steady_clock::now() + kTakeLimit;
    for (;;) {
        const std::string now = key.GetString(value);
        if (now.empty() || (!text.empty() && now != text))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
}

bool WindowRuns()
{
    // The window holds the instance lock for its whole life; a lock this process gets is let go at once.
    return SingleInstanceLock().Acquire() == SingleInstanceLock::State::AlreadyRunning;
}

bool TellWindow()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage message =
        QDBusMessage::createSignal(QString::fromUtf8(broadcast::kBusPath), QString::fromUtf8(broadcast::kBusInterface),
                                   QString::fromUtf8(broadcast::kBusSignal));
    message << QString::fromUtf8(broadcast::kFromHelper);
    return bus.send(message);
}

bool StartWindow(std::string& program)
{
    const char* path = std::getenv("PATH");
    program = FindProgram("pelldra", GetExecutableFolder(), path ? path : "");
    if (program.empty())
        return false;
    // The window outlives this process: what it writes goes nowhere rather than into the caller's terminal or pipe.
    QProcess window;
    window.setProgram(QString::fromStdString(program));
    window.setStandardInputFile(QProcess::nullDevice());
    window.setStandardOutputFile(QProcess::nullDevice());
    window.setStandardErrorFile(QProcess::nullDevice());
    return window.startDetached();
}

int Main(int argc, char** argv)
{
    Arguments a;
    const std::string problem = ParseArguments(argc, argv, a);
    if (!problem.empty())
        return BadArguments(problem);
    if (a.help) {
        std::fputs(kUsage, stdout);
        return kExitTaken;
    }
    if (a.version) {
        std::puts("pelldra-send " PELLDRA_VERSION);
        return kExitTaken;
    }
    QCoreApplication application(argc, argv);

    PreparedOrder order;
    if (const Refusal refusal = PrepareOrder(a.request, order); !refusal.message.empty()) {
        Complain(refusal.message, refusal.subject);
        return kExitRefused;
    }
    const std::string folder = SentFolder();
    SenderTurn turn(folder);
    if (!turn.Wait(kTakeLimit)) {
        Complain("another pelldra-send is still handing over its order");
        return kExitNotTaken;
    }
    CTavinRegKey linkScout(kLinkScoutKeyPath);
    CTavinRegKey transfer(kTransferKeyPath);
    if (!linkScout.IsOpen() || !transfer.IsOpen()) {
        Complain("cannot open the registry store", CTavinRegKey::StorePath());
        return kExitNotTaken;
    }
    CTavinRegKey& slot = order.list ? transfer : linkScout;
    const char* slotValue = order.list ? "file" : "TransferInfo";
    RemoveStaleOrderFiles(folder, linkScout.GetString("TransferInfo"));
    // An order left waiting (its sender gone) is handed on first: the window takes it before ours.
    if (!slot.GetString(slotValue).empty()) {
        std::string program;
        WindowRuns() ? TellWindow() : StartWindow(program);
    }
    if (!WaitUntilGone(slot, slotValue, {})) {
        Complain("an earlier order has not been taken by the window yet");
        return kExitNotTaken;
    }
    std::string handedOver;
    if (const Refusal refusal = WriteOrder(order, folder, linkScout, transfer, handedOver); !refusal.message.empty()) {
        Complain(refusal.message, refusal.subject);
        return kExitNotTaken;
    }

    std::string failure;
    if (WindowRuns()) {
        if (!TellWindow())
            failure = "no session bus to tell the window on";
    } else if (std::string program; !StartWindow(program)) {
        failure = program.empty() ? "pelldra is neither beside pelldra-send nor on PATH" : "cannot start " + program;
    }
    if (failure.empty() && WaitUntilGone(slot, slotValue, handedOver))
        return kExitTaken;
    // Taking it back is one transaction too: either the window has it or this process does.
    if (slot.Take(slotValue) == handedOver) {
        RemoveHandedOverFile(order, handedOver);
        Complain(failure.empty() ? "the window did not take the order" : failure);
        return kExitNotTaken;
    }
    return kExitTaken;
}

} // namespace
} // namespace pelldra::cli

int main(int argc, char** argv)
{
    return pelldra::cli::Main(argc, argv);
}
