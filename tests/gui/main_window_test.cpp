// Tests of the main window: marking the URL, series downloads into a folder, refusals, the queue, stop and exit.
#include "gui/app/pelldra_dlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

#include "core/engine/daily_log.h"
#include "core/engine/download_engine.h"
#include "gui/app/run_animation.h"
#include "gui/engine/log_edit.h"
#include "gui/platform/message_box.h"
#include "gui/queue/url_edit.h"
#include "gui/ui/auth_prompt.h"
#include "gui/ui/folder_edit.h"
#include "gui/ui/notice_popup.h"
#include "gui/ui/num_edit.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

using namespace std::chrono_literals;

// Puts a refused order's controls in place, given a writable folder.
using RefusalSetup = std::function<void(pelldra::CPelldraDlg&, const std::string& folder)>;
Q_DECLARE_METATYPE(std::shared_ptr<RefusalSetup>)

namespace pelldra {

namespace {

constexpr int kRunMs = 15000;

// Holds a request until opened (or for at most a few seconds), so a run stays busy while the test acts.
struct Gate
{
    std::shared_ptr<std::atomic<bool>> open = std::make_shared<std::atomic<bool>>(false);
    ~Gate() { *open = true; }

    test::TestHandler Handler(std::string body) const
    {
        return [flag = open, body](const test::TestRequest&) {
            for (int i = 0; i < 500 && !*flag; ++i)
                std::this_thread::sleep_for(10ms);
            test::TestResponse r;
            r.body = body;
            r.content_type = "image/jpeg";
            return r;
        };
    }
};

CPelldraDlg::Options FastOptions()
{
    CPelldraDlg::Options o;
    o.limits.answer = 5s;
    o.limits.stall = 5s;
    o.limits.prompt = 2s;
    return o;
}

void TypeUrl(CPelldraDlg& dlg, const std::string& url)
{
    dlg.UrlEdit()->setFocus();
    dlg.UrlEdit()->selectAll();
    QTest::keyClick(dlg.UrlEdit(), Qt::Key_Delete);
    QTest::keyClicks(dlg.UrlEdit(), QString::fromStdString(url));
}

// Pasted in one piece, as a user mostly gives a URL: the marks go to the last two digit runs.
void PasteUrl(CPelldraDlg& dlg, const std::string& url)
{
    dlg.UrlEdit()->setFocus();
    dlg.UrlEdit()->selectAll();
    QTest::keyClick(dlg.UrlEdit(), Qt::Key_Delete);
    dlg.UrlEdit()->insertPlainText(QString::fromStdString(url));
}

QStringList LogLines(const CPelldraDlg& dlg)
{
    QStringList lines;
    for (int i = 0; i < dlg.LogView()->LineCount(); ++i)
        lines << dlg.LogView()->Line(i);
    return lines;
}

std::string TodaysLog(const test::TempEnv& env)
{
    return test::ReadFile(env.dataFolder() + "/" + CDailyLog::FileNameFor(std::time(nullptr)));
}

} // namespace

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void typingAUrlMarksItsRunsAndFillsTheRanges_data();
    void typingAUrlMarksItsRunsAndFillsTheRanges();
    void startDownloadsATwoLevelSeries();
    void refusalsShowTheirMessagesAndStartNothing_data();
    void refusalsShowTheirMessagesAndStartNothing();
    void startDuringARunQueuesTheOrderAndStopThenSwitchesQueueModeOn();
    void exitDuringARunClosesAfterTheRunWithoutRunningTheQueue();
    void queueModeOffRunsThreeQueuedOrdersOneAfterAnother();
    void escAndEnterDoNothing();
    void pointerOnTheStartButtonOpensTheReadyClipOnlyWhenIdle();
    void listModeStartsFromTheListFile();
    void serverAskingForCredentialsGetsThemFromThePrompt();
    void destroyingTheWindowDuringARunStopsAndJoinsTheEngine();
    void subfolderEditFollowsTheUpperAndSubfolderChecks();
    void aQueuedOrderLoadsBackIntoTheWindow();
    void theQueueRunSkipsAnOrderWhoseListIsGone();

private:
    std::unique_ptr<test::TempEnv> m_env;
};

void MainWindowTest::init()
{
    m_env = std::make_unique<test::TempEnv>();
}

void MainWindowTest::cleanup()
{
    m_env.reset();
}

void MainWindowTest::typingAUrlMarksItsRunsAndFillsTheRanges_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<bool>("upperPossible");
    QTest::newRow("leading zeros keep their width") << "http://h.example/p007.jpg"
                                                    << "007" << false;
    QTest::newRow("two runs: the upper check opens") << "http://h.example/s12/p5.jpg"
                                                     << "5" << true;
    QTest::newRow("the last run is the lower one") << "http://h.example/a1/b22/c333.png"
                                                   << "333" << true;
    QTest::newRow("no digits: empty boxes") << "http://h.example/pic.jpg"
                                            << "" << false;
}

void MainWindowTest::typingAUrlMarksItsRunsAndFillsTheRanges()
{
    QFETCH(QString, url);
    QFETCH(QString, lower);
    QFETCH(bool, upperPossible);
    CPelldraDlg dlg;
    dlg.show();
    TypeUrl(dlg, url.toStdString());
    QCOMPARE(QString::fromStdString(dlg.Url().GetFieldText(0)), lower);
    QCOMPARE(QString::fromStdString(dlg.LowerFrom()->Value()), lower);
    QCOMPARE(QString::fromStdString(dlg.LowerTo()->Value()), lower);
    QCOMPARE(dlg.UpperCheck()->isEnabled(), upperPossible);
    if (!upperPossible)
        return;
    // Ticking the upper string fills its boxes with the run left of the lower one and selects it.
    QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
    QVERIFY(dlg.UpperCheck()->isChecked());
    QCOMPARE(dlg.Url().GetSelectedField(), 1);
    QCOMPARE(dlg.UpperFrom()->Value(), dlg.Url().GetFieldText(1));
    QVERIFY(!dlg.UpperFrom()->Value().empty());
    QVERIFY(dlg.UpperFrom()->isEnabled());
    // The previous-run arrow moves the upper mark one run to the left when there is one.
    const std::string before = dlg.Url().GetFieldText(1);
    if (dlg.PrevRunButton()->isEnabled()) {
        dlg.PrevRunButton()->click();
        QVERIFY(dlg.Url().GetFieldText(1) != before);
        QCOMPARE(dlg.UpperFrom()->Value(), dlg.Url().GetFieldText(1));
    }
}

void MainWindowTest::startDownloadsATwoLevelSeries()
{
    test::TestHttpServer server;
    for (const char* path : {"/d1/p01.jpg", "/d1/p02.jpg", "/d2/p01.jpg", "/d2/p02.jpg"})
        server.AddFile(path, std::string("body of ") + path, "image/jpeg");
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    PasteUrl(dlg, server.Url("/d1/p01.jpg"));
    QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
    dlg.UpperFrom()->setText(QStringLiteral("1"));
    dlg.UpperTo()->setText(QStringLiteral("2"));
    dlg.LowerFrom()->setText(QStringLiteral("01"));
    dlg.LowerTo()->setText(QStringLiteral("02"));
    dlg.FolderEdit()->setText(QString::fromStdString(folder));

    dlg.StartButton()->click();
    QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
    QVERIFY(dlg.StartIconBusy());
    QCOMPARE(dlg.Animation()->CurrentClip(), CRunAnimation::Clip::Running);
    QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
    QVERIFY2(hook.Texts().isEmpty(), qPrintable(hook.Texts().join(QLatin1Char('|'))));
    QVERIFY(!dlg.StartIconBusy());
    QCOMPARE(dlg.Animation()->CurrentClip(), CRunAnimation::Clip::Still);

    // The upper number names the subfolder, the lower one the file.
    for (const char* name : {"1/p01.jpg", "1/p02.jpg", "2/p01.jpg", "2/p02.jpg"}) {
        const std::string saved = folder + "/" + name;
        QVERIFY2(test::FileExists(saved),
                 qPrintable(QString::fromStdString(saved) + LogLines(dlg).join(QLatin1Char(10))));
        const std::string d = std::string("/d") + name[0] + "/" + (name + 2);
        QCOMPARE(QString::fromStdString(test::ReadFile(saved)), QString::fromStdString("body of " + d));
    }
    const QStringList lines = LogLines(dlg);
    QCOMPARE(lines.value(0), QString::fromUtf8(kLogStartLine));
    QCOMPARE(lines.value(1), QString::fromStdString("  Target: " + server.Url("/d*/p*.jpg")));
    QCOMPARE(lines.value(2), QString::fromStdString("  保存用フォルダは: " + folder + "/"));
    QVERIFY(lines.contains(QString::fromStdString(server.Url("/d2/p02.jpg"))));
    QVERIFY(lines.contains(QStringLiteral("    全て終了")));
    QVERIFY(lines.contains(QStringLiteral("    成功／要求数 = 4回／4回")));
    // Every line shown is in the day's log file too, in the same order.
    const std::string logFile = TodaysLog(*m_env);
    size_t at = 0;
    for (const QString& line : lines) {
        const size_t found = logFile.find(line.toStdString() + "\r\n", at);
        QVERIFY2(found != std::string::npos, qPrintable(line));
        at = found;
    }
    QVERIFY(dlg.ProgressText().startsWith(QStringLiteral("完了 4  失敗 0  要求 4")));
}

void MainWindowTest::refusalsShowTheirMessagesAndStartNothing_data()
{
    using Setup = RefusalSetup;
    QTest::addColumn<std::shared_ptr<Setup>>("setup");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("stopIcon");
    auto row = [](const char* name, Setup setup, QStringList messages, bool stop = false) {
        QTest::newRow(name) << std::make_shared<Setup>(std::move(setup)) << messages << stop;
    };
    row("short URL without digits",
        [](CPelldraDlg& d, const std::string& f) {
            TypeUrl(d, "http:/x");
            d.LowerFrom()->clear();
            d.LowerTo()->clear();
            d.FolderEdit()->setText(QString::fromStdString(f));
        },
        {QStringLiteral("ターゲットのＵＲＬが不正です")});
    row("width of the URL's digits not kept",
        [](CPelldraDlg& d, const std::string& f) {
            TypeUrl(d, "http://h.example/p007.jpg");
            d.LowerFrom()->setText(QStringLiteral("1"));
            d.LowerTo()->setText(QStringLiteral("20"));
            d.FolderEdit()->setText(QString::fromStdString(f));
        },
        {QStringLiteral(
            "数値の桁を固定する場合は、ＵＲＬで選択されている数字と\n開始と終了の数字の桁数を同じにして下さい")});
    row("two stars in the subfolder",
        [](CPelldraDlg& d, const std::string& f) {
            TypeUrl(d, "http://h.example/s1/p1.jpg");
            QTest::mouseClick(d.UpperCheck(), Qt::LeftButton);
            d.SubfolderEdit()->setText(QStringLiteral("/a*b*/"));
            d.FolderEdit()->setText(QString::fromStdString(f));
        },
        {QStringLiteral("　サブフォルダに使える＊は１つまでです")});
    row("too many stars in the save name",
        [](CPelldraDlg& d, const std::string& f) {
            TypeUrl(d, "http://h.example/p1.jpg");
            d.SaveNameEdit()->setText(QStringLiteral("a*b*.jpg"));
            d.FolderEdit()->setText(QString::fromStdString(f));
        },
        {QStringLiteral("保存時ファイル名に使われている＊が多すぎます"),
         QStringLiteral("  保存ファイル名が不適当なため、中止")});
    row(
        "folder that does not exist",
        [](CPelldraDlg& d, const std::string& f) {
            TypeUrl(d, "http://h.example/p1.jpg");
            d.FolderEdit()->setText(QString::fromStdString(f + "/missing"));
        },
        {QStringLiteral("保存用のフォルダ名が不正です。")}, true);
    row(
        "no folder at all", [](CPelldraDlg& d, const std::string&) { TypeUrl(d, "http://h.example/p1.jpg"); },
        {QStringLiteral("保存用のフォルダが指定されていません。")}, true);
    row("list mode without a list",
        [](CPelldraDlg& d, const std::string& f) {
            d.Tabs()->setCurrentIndex(1);
            d.FolderEdit()->setText(QString::fromStdString(f));
        },
        {QStringLiteral("リストファイル名が空白です")});
}

void MainWindowTest::refusalsShowTheirMessagesAndStartNothing()
{
    using Setup = RefusalSetup;
    QFETCH(std::shared_ptr<Setup>, setup);
    QFETCH(QStringList, messages);
    QFETCH(bool, stopIcon);
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    (*setup)(dlg, folder);
    dlg.StartButton()->click();
    QCOMPARE(hook.Texts(), messages);
    QCOMPARE(hook.Messages().front().icon == MessageIcon::Stop, stopIcon);
    QCOMPARE(dlg.RunState(), int(CPelldraDlg::kIdle));
    QCOMPARE(dlg.LogView()->LineCount(), 0);
    QVERIFY(!dlg.Notice()->isVisible());
    QCOMPARE(dlg.Queue().LoadAll(), 0);
}

void MainWindowTest::startDuringARunQueuesTheOrderAndStopThenSwitchesQueueModeOn()
{
    test::TestHttpServer server;
    Gate gate;
    server.AddHandler("/slow/f1.jpg", gate.Handler("one"));
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    TypeUrl(dlg, server.Url("/slow/f1.jpg"));
    dlg.FolderEdit()->setText(QString::fromStdString(folder));
    dlg.StartButton()->click();
    QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
    QVERIFY(!dlg.QueueButton()->isEnabled());

    dlg.StartButton()->click();
    QVERIFY(dlg.Notice()->isVisible());
    QCOMPARE(dlg.Notice()->ShownText(), QStringLiteral("ただいまのダウンロード指令は待ち行列に取り込まれました"));
    QCOMPARE(dlg.Queue().LoadAll(), 1);
    QVERIFY(dlg.QueueButton()->isEnabled());
    QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
    QVERIFY(!dlg.QueueMode());

    dlg.StopButton()->click();
    QVERIFY(dlg.UserStopped());
    QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
    // Stopped by the user with orders waiting: queue mode, so the queue does not run on by itself.
    QVERIFY(dlg.QueueMode());
    QVERIFY(dlg.StartIconBusy());
    QCOMPARE(dlg.Animation()->CurrentClip(), CRunAnimation::Clip::Queue);
    QCOMPARE(dlg.Queue().LoadAll(), 1);
    QVERIFY(LogLines(dlg).contains(QStringLiteral("    ユーザーによる中断")));
    QVERIFY(hook.Texts().isEmpty());
}

void MainWindowTest::exitDuringARunClosesAfterTheRunWithoutRunningTheQueue()
{
    test::TestHttpServer server;
    Gate gate;
    server.AddHandler("/slow/f1.jpg", gate.Handler("one"));
    server.AddFile("/next/f1.jpg", "next", "image/jpeg");
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.show();
    dlg.FolderEdit()->setText(QString::fromStdString(folder));
    TypeUrl(dlg, server.Url("/slow/f1.jpg"));
    dlg.StartButton()->click();
    TypeUrl(dlg, server.Url("/next/f1.jpg"));
    dlg.StartButton()->click();
    QCOMPARE(dlg.Queue().LoadAll(), 1);

    dlg.ExitButton()->click();
    QVERIFY(dlg.ExitRequested());
    QCOMPARE(finished.count(), 0); // still there while the run ends
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunMs);
    QVERIFY(!dlg.isVisible());
    QTest::qWait(200);
    QVERIFY(server.RequestsFor("/next/f1.jpg").empty());
    QCOMPARE(dlg.Queue().LoadAll(), 1);
    QVERIFY(!test::FileExists(folder + "/f1.jpg"));
}

void MainWindowTest::queueModeOffRunsThreeQueuedOrdersOneAfterAnother()
{
    test::TestHttpServer server;
    for (const char* dir : {"q1", "q2", "q3"})
        for (const char* file : {"/f1.bin", "/f2.bin"})
            server.AddFile(std::string("/") + dir + file, std::string(dir) + file, "application/octet-stream");
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    dlg.ToggleQueueMode();
    QVERIFY(dlg.QueueMode());
    QVERIFY(dlg.StartIconBusy());
    std::vector<std::string> folders;
    for (const char* dir : {"q1", "q2", "q3"}) {
        folders.push_back(m_env->makeFolder(dir));
        dlg.FolderEdit()->setText(QString::fromStdString(folders.back()));
        TypeUrl(dlg, server.Url(std::string("/") + dir + "/f1.bin"));
        dlg.LowerTo()->setText(QStringLiteral("2"));
        dlg.StartButton()->click();
        QCOMPARE(dlg.RunState(), int(CPelldraDlg::kIdle));
    }
    QCOMPARE(dlg.Queue().LoadAll(), 3);
    QCOMPARE(server.RequestCount(), 0);

    // A click on the picture beside the start button switches queue mode off and works the queue off.
    QTest::mouseClick(dlg.Animation(), Qt::LeftButton);
    QVERIFY(!dlg.QueueMode());
    QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
    QTRY_VERIFY_WITH_TIMEOUT(
        dlg.RunState() == CPelldraDlg::kIdle && dlg.Queue().LoadAll() == 0 && server.RequestCount() == 6, kRunMs);
    QVERIFY(!dlg.QueueButton()->isEnabled());
    for (size_t i = 0; i < folders.size(); ++i)
        for (const char* file : {"f1.bin", "f2.bin"})
            QVERIFY(test::FileExists(folders[i] + "/" + file));
    // One order after another: every request of an order comes before those of the next.
    const std::vector<test::TestRequest> requests = server.Requests();
    for (size_t i = 0; i < requests.size(); ++i)
        QCOMPARE(requests[i].path.substr(0, 3), std::string("/q") + char('1' + i / 2));
    QVERIFY(hook.Texts().isEmpty());
}

void MainWindowTest::escAndEnterDoNothing()
{
    MessageHook hook;
    CPelldraDlg dlg;
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    TypeUrl(dlg, "http://h.example/p1.jpg");
    for (QWidget* target : std::initializer_list<QWidget*>{&dlg, dlg.FolderEdit(), dlg.SaveNameEdit()}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    QCOMPARE(finished.count(), 0);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.RunState(), int(CPelldraDlg::kIdle));
    QVERIFY(hook.Texts().isEmpty());
}

void MainWindowTest::pointerOnTheStartButtonOpensTheReadyClipOnlyWhenIdle()
{
    CPelldraDlg dlg;
    dlg.show();
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(dlg.StartButton(), &enter);
    QCOMPARE(dlg.Animation()->CurrentClip(), CRunAnimation::Clip::Ready);
    QVERIFY(!dlg.Animation()->IsPlaying());
    QApplication::sendEvent(dlg.StartButton(), &leave);
    QCOMPARE(dlg.Animation()->CurrentClip(), CRunAnimation::Clip::Still);
    // In queue mode the queue's clip stays whatever the pointer does.
    dlg.ToggleQueueMode();
    QApplication::sendEvent(dlg.StartButton(), &enter);
    QCOMPARE(dlg.Animation()->CurrentClip(), CRunAnimation::Clip::Queue);
    QVERIFY(dlg.Animation()->IsPlaying());
}

void MainWindowTest::listModeStartsFromTheListFile()
{
    test::TestHttpServer server;
    server.AddFile("/l/a.bin", "alpha", "application/octet-stream");
    server.AddFile("/l/b.bin", "beta", "application/octet-stream");
    const std::string folder = m_env->makeFolder("save");
    const std::string list = m_env->root() + "/urls.lst";
    QVERIFY(test::WriteFile(list, server.Url("/l/a.bin") + "\r\n" + server.Url("/l/b.bin") + "\r\n"));
    MessageHook hook;
    hook.QueueChosenPath(QString::fromStdString(list));
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    dlg.Tabs()->setCurrentIndex(1);
    QCOMPARE(dlg.JobMode(), 3003);
    QVERIFY(dlg.ListPathEdit()->isVisible());
    QVERIFY(!dlg.UrlEdit()->isVisible());
    dlg.findChild<QToolButton*>(QStringLiteral("openList"))->click();
    QCOMPARE(dlg.ListPathEdit()->text(), QString::fromStdString(list));
    QCOMPARE(hook.Choosers().front().title, QStringLiteral("URLリストを開く"));
    dlg.DeleteListCheck()->setChecked(true);
    dlg.FolderEdit()->setText(QString::fromStdString(folder));
    dlg.StartButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
    QCOMPARE(QString::fromStdString(test::ReadFile(folder + "/a.bin")), QStringLiteral("alpha"));
    QCOMPARE(QString::fromStdString(test::ReadFile(folder + "/b.bin")), QStringLiteral("beta"));
    // A finished run deletes the list when asked to.
    QVERIFY(!test::FileExists(list));
    QVERIFY(hook.Texts().isEmpty());
}

void MainWindowTest::serverAskingForCredentialsGetsThemFromThePrompt()
{
    test::TestHttpServer server;
    server.AddFile("/club/p1.jpg", "members only", "image/jpeg");
    server.RequireBasic("/club/", "aki", "secret");
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    PasteUrl(dlg, server.Url("/club/p1.jpg"));
    dlg.FolderEdit()->setText(QString::fromStdString(folder));
    // The question comes up modally on the window's thread while the transfer waits: answer it from a timer, as a
    // user would from inside that dialog.
    QString title;
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, &dlg, [&] {
        CAuthPromptDlg* prompt = dlg.findChild<CAuthPromptDlg*>();
        if (!prompt || !prompt->isVisible() || !title.isEmpty())
            return;
        title = prompt->windowTitle();
        prompt->UserEdit()->setText(QStringLiteral("aki"));
        prompt->PasswordEdit()->setText(QStringLiteral("secret"));
        prompt->OkButton()->click();
    });
    answerer.start();
    dlg.StartButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
    QCOMPARE(title, QStringLiteral("インターネット認証"));
    QCOMPARE(QString::fromStdString(test::ReadFile(folder + "/p1.jpg")), QStringLiteral("members only"));
}

void MainWindowTest::destroyingTheWindowDuringARunStopsAndJoinsTheEngine()
{
    test::TestHttpServer server;
    Gate gate;
    server.AddHandler("/slow/f1.jpg", gate.Handler("one"));
    server.AddHandler("/slow/f2.jpg", gate.Handler("two"));
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    auto dlg = std::make_unique<CPelldraDlg>(nullptr, FastOptions());
    dlg->show();
    PasteUrl(*dlg, server.Url("/slow/f1.jpg"));
    dlg->LowerTo()->setText(QStringLiteral("2"));
    dlg->FolderEdit()->setText(QString::fromStdString(folder));
    dlg->StartButton()->click();
    QTRY_COMPARE_WITH_TIMEOUT(server.RequestCount(), 2, kRunMs);
    const auto before = std::chrono::steady_clock::now();
    dlg.reset();
    // Well before the held requests would answer: the transfers were cancelled, not waited for.
    QVERIFY(std::chrono::steady_clock::now() - before < 3s);
    // The lines of the cancelled run still reached the day's log.
    QVERIFY(TodaysLog(*m_env).find("    ユーザーによる中断") != std::string::npos);
    QVERIFY(!test::FileExists(folder + "/f1.jpg"));
}

void MainWindowTest::subfolderEditFollowsTheUpperAndSubfolderChecks()
{
    CPelldraDlg dlg;
    dlg.show();
    PasteUrl(dlg, "http://h.example/s1/p1.jpg");
    QVERIFY(dlg.SubfolderOn());
    QVERIFY(!dlg.SubfolderEdit()->isEnabled()); // no upper string yet
    QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
    QVERIFY(dlg.SubfolderEdit()->isEnabled());
    QTest::mouseClick(dlg.SubfolderCheck(), Qt::LeftButton);
    QVERIFY(!dlg.SubfolderOn());
    QVERIFY(!dlg.SubfolderEdit()->isEnabled());
    QTest::mouseClick(dlg.SubfolderCheck(), Qt::LeftButton);
    QVERIFY(dlg.SubfolderEdit()->isEnabled());
    // Taking the upper string off closes the subfolder too, and the lower string is selected again.
    QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
    QVERIFY(!dlg.SubfolderEdit()->isEnabled());
    QCOMPARE(dlg.Url().GetSelectedField(), 0);
    // A URL without a run left of the lower one cannot have an upper string at all.
    QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
    PasteUrl(dlg, "http://h.example/p1.jpg");
    QVERIFY(!dlg.UpperCheck()->isEnabled());
    QVERIFY(!dlg.UpperFrom()->isEnabled());
    QVERIFY(!dlg.SubfolderEdit()->isEnabled());
}

void MainWindowTest::aQueuedOrderLoadsBackIntoTheWindow()
{
    const std::string folder = m_env->makeFolder("save");
    MessageHook hook;
    CQueueItem queued;
    {
        CPelldraDlg dlg;
        dlg.show();
        dlg.ToggleQueueMode();
        PasteUrl(dlg, "http://h.example/vol2/p05.jpg");
        QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
        dlg.UpperTo()->setText(QStringLiteral("4"));
        dlg.LowerTo()->setText(QStringLiteral("09"));
        dlg.SubfolderEdit()->setText(QStringLiteral("v*"));
        dlg.SaveNameEdit()->setText(QStringLiteral("x*.jpg"));
        dlg.FolderEdit()->setText(QString::fromStdString(folder));
        dlg.StartButton()->click();
        QVERIFY(hook.Texts().isEmpty());
        QVERIFY(dlg.Queue().TakeFirst(queued));
    }
    CPelldraDlg dlg;
    dlg.show();
    dlg.LoadItemIntoWindow(queued);
    QCOMPARE(dlg.JobMode(), 3000);
    QCOMPARE(dlg.UrlEdit()->Text(), QStringLiteral("http://h.example/vol2/p05.jpg"));
    QVERIFY(dlg.UpperCheck()->isChecked());
    QVERIFY(dlg.SubfolderOn());
    QCOMPARE(dlg.SubfolderEdit()->text(), QStringLiteral("v*"));
    QCOMPARE(dlg.SaveNameEdit()->text(), QStringLiteral("x*.jpg")); // the subfolder takes the upper number
    QCOMPARE(dlg.FolderEdit()->text().toStdString(), folder + "/");
    QCOMPARE(dlg.Url().GetFieldText(1), std::string("2"));
    QCOMPARE(dlg.Url().GetFieldText(0), std::string("05"));

    // A list order switches the window to the list layout with its path, folder and delete flag.
    CQueueItem list;
    list.Kind = CQueueItem::LIST;
    list.KindName = "LIST";
    list.Lst = "/somewhere/urls.lst";
    list.Fol = folder;
    list.Del = 1;
    dlg.LoadItemIntoWindow(list);
    QCOMPARE(dlg.JobMode(), 3003);
    QCOMPARE(dlg.Tabs()->currentIndex(), 1);
    QVERIFY(dlg.ListPathEdit()->isVisible());
    QCOMPARE(dlg.ListPathEdit()->text(), QStringLiteral("/somewhere/urls.lst"));
    QVERIFY(dlg.DeleteListCheck()->isChecked());
}

void MainWindowTest::theQueueRunSkipsAnOrderWhoseListIsGone()
{
    test::TestHttpServer server;
    server.AddFile("/ok/f1.bin", "one", "application/octet-stream");
    const std::string folder = m_env->makeFolder("save");
    const std::string list = m_env->root() + "/gone.lst";
    QVERIFY(test::WriteFile(list, server.Url("/ok/f1.bin") + "\r\n"));
    MessageHook hook;
    CPelldraDlg dlg(nullptr, FastOptions());
    dlg.show();
    dlg.ToggleQueueMode();
    dlg.FolderEdit()->setText(QString::fromStdString(folder));
    dlg.Tabs()->setCurrentIndex(1);
    dlg.ListPathEdit()->setText(QString::fromStdString(list));
    dlg.StartButton()->click();
    dlg.Tabs()->setCurrentIndex(0);
    PasteUrl(dlg, server.Url("/ok/f1.bin"));
    dlg.StartButton()->click();
    QCOMPARE(dlg.Queue().LoadAll(), 2);
    QVERIFY(::unlink(list.c_str()) == 0);

    dlg.ToggleQueueMode();
    QTRY_VERIFY_WITH_TIMEOUT(dlg.RunState() == CPelldraDlg::kIdle && dlg.Queue().LoadAll() == 0, kRunMs);
    // The unreadable order was dropped without a box, and the next one ran.
    QVERIFY(hook.Texts().isEmpty());
    QCOMPARE(server.RequestsFor("/ok/f1.bin").size(), size_t(1));
    QVERIFY(test::FileExists(folder + "/f1.bin"));
    QVERIFY(TodaysLog(*m_env).find("ファイルが見つかりません") != std::string::npos);
}

} // namespace pelldra

QTEST_MAIN(pelldra::MainWindowTest)
#include "main_window_test.moc"
