// Orders from LinkScout and URLs shown in it, over a real registry store.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/linkscout/linkscout_location.h"
#include "core/linkscout/linkscout_orders.h"
#include "core/orders/sequential_order.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "core/sequence/seq_url.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::TempEnv;

struct Keys
{
    CTavinRegKey linkScout{kLinkScoutKeyPath};
    CTavinRegKey transfer{kTransferKeyPath};
    CTavinRegKey location{kLocationKeyPath};
};

CQueueItem Order(int kind)
{
    CQueueItem item;
    const char* const names[] = {"RENBAN", "LIST", "LINK", "IMAGE"};
    item.Kind = kind, item.KindName = names[kind], item.Fol = "/home/u/linkscout";
    item.job.Targ = "http://h.example/p/a*.jpg", item.job.Refe = "http://h.example/p/index*.html";
    item.St1 = "01", item.Or1 = "03", item.Syn = 1;
    return item;
}

// An order file and "TransferInfo" naming it, as LinkScout leaves them.
void PlaceOrder(Keys& keys, const TempEnv& env, const std::string& text, const std::string& command)
{
    const std::string path = env.root() + "/order.txt";
    ASSERT_TRUE(test::WriteFile(path, text));
    ASSERT_EQ(keys.linkScout.SetString("Version", "1.54"), 0);
    ASSERT_EQ(keys.linkScout.SetString("TransferInfo", path), 0);
    ASSERT_EQ(keys.linkScout.SetString("Command", command), 0);
}

TEST(LinkScoutOrders, AVersionBelow154ShowsTwoMessagesAndTakesNothing)
{
    // Version, why the window looks, whether it shows the messages, whether it takes the order.
    const std::tuple<const char*, LinkScoutCall, bool, bool> cases[] = {{"1.53", LinkScoutCall::Broadcast, true, false},
                                                                        {"", LinkScoutCall::Command, true, false},
                                                                        {"", LinkScoutCall::Start, false, false},
                                                                        {"1.54", LinkScoutCall::Start, false, true}};
    for (const auto& [version, call, messages, taken] : cases) {
        TempEnv env;
        Keys keys;
        PlaceOrder(keys, env, Order(CQueueItem::RENBAN).ToText(), kWholeGetCommand);
        ASSERT_EQ(keys.linkScout.SetString("Version", version), 0);
        const LinkScoutOrders orders = TakeLinkScoutOrder(keys.linkScout, keys.transfer, call, {}, "");
        EXPECT_EQ(orders.messages.size(), messages ? 2u : 0u) << version;
        EXPECT_EQ(orders.runs.size(), taken ? 1u : 0u) << version;
        EXPECT_EQ(keys.linkScout.GetString("TransferInfo").empty(), taken) << version;
    }
}

TEST(LinkScoutOrders, WholeGetRunsASeriesOrAPlainListOnceAndTheTransferListAfterIt)
{
    DetailSettings settings;
    settings.Browser = kBrowserFireFox;
    for (const int kind : {CQueueItem::RENBAN, CQueueItem::LIST, CQueueItem::LINK, CQueueItem::IMAGE}) {
        TempEnv env;
        Keys keys;
        PlaceOrder(keys, env, Order(kind).ToText(), kWholeGetCommand);
        ASSERT_EQ(keys.transfer.SetString("file", "/tmp/links.lst"), 0);
        const auto take = [&] {
            return TakeLinkScoutOrder(keys.linkScout, keys.transfer, LinkScoutCall::Broadcast, settings, "");
        };
        const LinkScoutOrders orders = take();
        ASSERT_EQ(orders.runs.size(), 2u) << kind;
        const CQueueItem& run = orders.runs[0].item;
        EXPECT_EQ(run.Kind, kind == CQueueItem::RENBAN ? kind : CQueueItem::LIST);
        // The kind name stays: a LINK or IMAGE order's temporary list is deleted after its run.
        EXPECT_EQ(run.KindName, Order(kind).KindName);
        EXPECT_EQ(run.job.Agen, UserAgentFor(kBrowserFireFox));
        EXPECT_TRUE(orders.runs[1].listOrder);
        EXPECT_TRUE(take().empty()) << "an order is taken once";
    }
}

TEST(LinkScoutOrders, AShownOrderTakesTheFolderEditUnlessLinkScoutsFolderIsKeptAndItsReferer)
{
    // The setting to keep LinkScout's folder, whether the folder edit holds a folder, whether LinkScout's is taken.
    for (const auto& [sameFolderAsLinkScout, folderEditUsable, linkScoutFolder] :
         {std::tuple{0, true, false}, {0, false, true}, {1, true, true}}) {
        TempEnv env;
        Keys keys;
        PlaceOrder(keys, env, Order(CQueueItem::RENBAN).ToText(), "show");
        ASSERT_EQ(keys.transfer.SetString("file", "/tmp/links.lst"), 0);
        const std::string folder = env.makeFolder("mine");
        DetailSettings settings;
        settings.SameFolderAsLinkScout = sameFolderAsLinkScout;

        const LinkScoutOrders orders = TakeLinkScoutOrder(keys.linkScout, keys.transfer, LinkScoutCall::Broadcast,
                                                          settings, folderEditUsable ? folder + "/" : "/nowhere");
        ASSERT_TRUE(orders.shown);
        EXPECT_EQ(orders.shown->Fol, linkScoutFolder ? "/home/u/linkscout" : folder);
        EXPECT_TRUE(orders.runs.empty());
        EXPECT_EQ(keys.transfer.GetString("file"), "/tmp/links.lst") << "a shown order leaves the list order";

        // The start command rebuilds the Referer from the settings' text, so the text must follow.
        CSeqUrl url, referer;
        referer.SetMaster(&url);
        LoadUrlFromItem(url, *orders.shown);
        LoadRefererFromItem(*orders.shown, referer, settings);
        EXPECT_EQ(settings.Referer, "http://h.example/p/index03.html");
    }
}

TEST(LinkScoutOrders, TheTransferListOrdersKindFollowsItsType)
{
    const std::pair<const char*, int> types[] = {
        {"IMAGE", CQueueItem::IMAGE}, {"LINK", CQueueItem::LINK}, {"", CQueueItem::LIST}, {"link", CQueueItem::LIST}};
    for (const auto& [type, kind] : types) {
        TempEnv env;
        Keys keys;
        ASSERT_EQ(keys.linkScout.SetString("SaveFolder", "/home/u/ls"), 0);
        ASSERT_EQ(keys.transfer.SetString("file", "/tmp/links.lst"), 0);
        ASSERT_EQ(keys.transfer.SetString("name", "http://h.example/page.html"), 0);
        ASSERT_EQ(keys.transfer.SetString("type", type), 0);
        LinkScoutOrders orders;
        ASSERT_TRUE(TakeTransferOrder(keys.linkScout, keys.transfer, {}, orders));
        ASSERT_TRUE(orders.runs.size() == 1u && orders.runs[0].listOrder);
        const CQueueItem& item = orders.runs[0].item;
        EXPECT_EQ(item.Kind, kind) << type;
        EXPECT_EQ(item.KindName, type);
        EXPECT_EQ(item.Lst, "/tmp/links.lst");
        EXPECT_EQ(item.Fol, "/home/u/ls");
        EXPECT_EQ(item.Page, "http://h.example/page.html");
    }
}

TEST(LinkScoutOrders, AnOrderFileOfTheOlderProgramIsReadAsCodePage932)
{
    TempEnv env;
    Keys keys;
    CQueueItem order = Order(CQueueItem::RENBAN);
    order.Fol = "/home/u/\x83\x5F\x83\x45\x83\x93"; // ダウン in code page 932
    PlaceOrder(keys, env, order.ToText(), kWholeGetCommand);
    const LinkScoutOrders orders = TakeLinkScoutOrder(keys.linkScout, keys.transfer, LinkScoutCall::Broadcast, {}, "");
    ASSERT_EQ(orders.runs.size(), 1u);
    EXPECT_EQ(orders.runs[0].item.Fol, "/home/u/ダウン");
}

TEST(LinkScoutOrders, AnOrderFileThatHoldsNoOrderIsNotTaken)
{
    TempEnv env;
    const std::string whole = Order(CQueueItem::RENBAN).ToText();
    std::string noKind = whole;
    noKind.erase(noKind.find("[num]"), noKind.find("\r\n\t") - noKind.find("[num]"));
    const std::string fifo = env.root() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = env.root() + "/huge";
    ASSERT_TRUE(test::WriteFile(huge, whole + std::string(1 << 20, '\n')));

    const std::pair<std::string, std::string> cases[] = {{"no kind", noKind}, {fifo, ""}, {huge, ""}};
    for (const auto& [name, text] : cases) {
        Keys keys;
        PlaceOrder(keys, env, text, kWholeGetCommand);
        if (text.empty()) {
            ASSERT_EQ(keys.linkScout.SetString("TransferInfo", name), 0);
        }
        LinkScoutOrders orders;
        EXPECT_EQ(TakeTransferInfoOrder(keys.linkScout, {}, "", orders), 0) << name;
        EXPECT_TRUE(orders.empty()) << name;
    }
}

TEST(OpenInLinkScout, HandsTheUrlOverStartsLinkScoutOrFallsBackToTheBrowser)
{
    struct Case
    {
        const char *name, *state, *position;
        bool startWorks;
        const char* waiting; // a URL handed over earlier, not yet taken
        const char* url;
        int result;
        bool started, broadcast, opened;
        const char *urlAfter, *positionAfter;
    };
    const char* const page = "http://h.example/news.html";
    const char* const first = "http://h.example/first.html";
    const Case cases[] = {
        {"running", "opened", "/opt/ls", true, "", page, 0, false, true, false, page, "/opt/ls"},
        {"first still waits", "opened", "/opt/ls", true, first, page, 0, true, true, false, first, "/opt/ls"},
        {"closed", "closed", "/opt/ls", true, "", page, 0, true, true, false, page, "/opt/ls"},
        {"never ran", "", "/opt/ls", true, "", page, 0, true, true, false, page, "/opt/ls"},
        {"cannot start", "closed", "/opt/ls", false, "", page, 0, true, false, true, "", ""},
        {"not installed", "", "", true, first, page, 0, false, false, true, "", ""},
        {"other scheme", "", "", true, "", "file:///etc/passwd", -1, false, false, false, "", ""}};
    for (const Case& c : cases) {
        TempEnv env;
        Keys keys;
        ASSERT_EQ(keys.linkScout.SetString("State", c.state), 0);
        ASSERT_EQ(keys.linkScout.SetString("Position", c.position), 0);
        ASSERT_EQ(keys.location.SetString("URL", c.waiting), 0);
        std::vector<std::string> started, opened;
        int broadcasts = 0;
        const LinkScoutShell shell{[&](const std::string& folder) { return started.push_back(folder), c.startWorks; },
                                   [&](const std::string& url) { return opened.push_back(url), true; },
                                   [&] { ++broadcasts; }};
        EXPECT_EQ(OpenInLinkScout(keys.linkScout, keys.location, c.url, shell), c.result) << c.name;
        EXPECT_EQ(started, c.started ? std::vector<std::string>{"/opt/ls"} : std::vector<std::string>{}) << c.name;
        EXPECT_EQ(broadcasts, c.broadcast ? 1 : 0) << c.name;
        EXPECT_EQ(opened, c.opened ? std::vector<std::string>{c.url} : std::vector<std::string>{}) << c.name;
        EXPECT_EQ(keys.location.GetString("URL"), c.urlAfter) << c.name;
        EXPECT_EQ(keys.linkScout.GetString("Position"), c.positionAfter) << c.name;
    }
}

} // namespace
} // namespace pelldra
