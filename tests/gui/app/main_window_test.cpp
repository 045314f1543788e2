// Tests of the main window: marking the URL, series downloads into a folder, refusals, the queue and its summary, the
// URL list viewer, stop and exit, and orders shown in it again.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

#include <chrono>
#include <ctime>
#include <memory>
#include <tuple>

#include "core/engine/daily_log.h"
#include "gui/app/run_animation.h"
#include "gui/log/log_edit.h"
#include "gui/queue/notice_popup.h"
#include "gui/queue/queue_summary_dialog.h"
#include "gui/queue/url_list_dialog.h"
#include "gui/settings/detail_dialog.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/main_window.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

using namespace std::chrono_literals;

namespace pelldra {

namespace {

using test::Q;
constexpr int kRunMs = 15000;

// Pasted in one piece, as a user mostly gives a URL (the marks go to the last two digit runs).
void EnterUrl(CPelldraDlg& dlg, const std::string& url)
{
    dlg.UrlEdit()->selectAll();
    dlg.UrlEdit()->insertPlainText(Q(url));
}

// A series order of the folder /dl/<name>.
CQueueItem Order(const std::string& name, int kind = CQueueItem::RENBAN)
{
    CQueueItem it;
    it.Kind = kind;
    it.job.Targ = "http://h.example/" + name + "/p*.jpg";
    it.Lst = "/lists/" + name + ".lst";
    it.St1 = it.Or1 = "1";
    it.Fol = "/dl/" + name;
    return it;
}

// The names of the orders' folders in the queue file.
QString Queued(const CWaitQueue& queue)
{
    CWaitQueue reader(queue.folder());
    reader.LoadAll();
    QStringList names;
    for (const CQueueItem& it : reader.Items())
        names << Q(it.Fol.substr(4));
    return names.join(' ');
}

void Select(QTreeWidget* list, std::initializer_list<int> rows)
{
    list->clearSelection();
    for (int row : rows)
        list->topLevelItem(row)->setSelected(true);
}

// A window in queue mode, so that a start only appends its order; the orders are taken back with TakeFirst.
struct QueueingWindow : test::ShownWindow
{
    explicit QueueingWindow(const std::string& folder) : ShownWindow(folder) { dlg.ToggleQueueMode(); }
    CQueueItem StartAndTake()
    {
        dlg.StartButton()->click();
        CQueueItem taken;
        if (dlg.Queue().TakeFirst(taken) != TakeResult::Taken)
            taken.Clear();
        dlg.Queue().EndTakenRun();
        return taken;
    }
};

} // namespace

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }

    void startDownloadsATwoLevelSeries()
    {
        test::TestHttpServer server;
        for (const char* path : {"/d1/p01.jpg", "/d1/p02.jpg", "/d2/p01.jpg", "/d2/p02.jpg"})
            server.AddFile(path, std::string("body of ") + path, "image/jpeg");
        const std::string folder = env_->makeFolder("save");
        test::ShownWindow w(folder);
        CPelldraDlg& dlg = w.dlg;
        // As many pages and terminals copy it: blanks around, a line break after.
        QApplication::clipboard()->setText(Q("  " + server.Url("/d1/p01.jpg") + "  \n"));
        dlg.UrlEdit()->setFocus();
        QTest::keyClick(dlg.UrlEdit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dlg.UrlEdit()->Text(), Q(server.Url("/d1/p01.jpg")));
        QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
        dlg.UpperTo()->setText(QStringLiteral("2"));
        dlg.LowerTo()->setText(QStringLiteral("02"));

        // A double click: long enough apart that a loaded machine cannot make its two presses seem apart.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(60000);
        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(-1);
        QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
        QVERIFY(dlg.StartIconBusy() && dlg.Animation()->CurrentClip() == CRunAnimation::Clip::Running);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
        QVERIFY2(w.hook.Texts().isEmpty(), qPrintable(w.hook.Texts().join(QLatin1Char('|'))));
        QVERIFY(!dlg.StartIconBusy() && dlg.Animation()->CurrentClip() == CRunAnimation::Clip::Still);

        // The upper number names the subfolder, the lower one the file.
        for (const char* name : {"1/p01.jpg", "1/p02.jpg", "2/p01.jpg", "2/p02.jpg"})
            QCOMPARE(Q(test::ReadFile(folder + "/" + name)), Q(std::string("body of /d") + name[0] + "/" + (name + 2)));
        QCOMPARE(dlg.LogView()->Line(dlg.LogView()->LineCount() - 1), QStringLiteral("    成功／要求数 = 4回／4回"));
        QCOMPARE(dlg.ProgressText(), QStringLiteral("完了 4/4  失敗 0  要求 4  76 B  0 B/s  100%"));
        // The second press neither queued the order nor ran it again.
        QVERIFY(server.RequestCount() == 4 && dlg.Queue().LoadAll() == 0);
    }

    void startDuringARunQueuesStopSwitchesQueueModeOnAndExitClosesAfterTheRunWithoutRunningTheQueue()
    {
        test::TestHttpServer server;
        test::Gate gate;
        server.AddHandler("/slow/f1.jpg", gate.Handler("one"));
        server.AddFile("/slow/f2.jpg", "two", "image/jpeg");
        server.AddFile("/next/f1.jpg", "next", "image/jpeg");
        const std::string folder = env_->makeFolder("save");
        auto w = std::make_unique<test::ShownWindow>(folder);
        CPelldraDlg& dlg = w->dlg;
        EnterUrl(dlg, server.Url("/slow/f1.jpg"));
        dlg.StartButton()->click();
        QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
        QVERIFY(!dlg.QueueButton()->isEnabled());

        dlg.LowerFrom()->setText(QStringLiteral("2")); // another order: the same one pressed again at once is ignored
        dlg.LowerTo()->setText(QStringLiteral("2"));
        dlg.StartButton()->click();
        QVERIFY(dlg.Notice()->isVisible() && dlg.QueueButton()->isEnabled() && !dlg.QueueMode());
        QCOMPARE(dlg.Queue().LoadAll(), 1);

        dlg.StopButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
        // Stopped by the user with orders waiting: queue mode, so the queue does not run on by itself.
        QVERIFY(dlg.QueueMode() && dlg.StartIconBusy() && dlg.Animation()->CurrentClip() == CRunAnimation::Clip::Queue);
        QCOMPARE(dlg.Queue().LoadAll(), 1);
        QCOMPARE(dlg.LogView()->Line(dlg.LogView()->LineCount() - 2), QStringLiteral("    ユーザーによる中断"));

        // A click on the picture beside the start button switches queue mode off and works the queue off.
        QTest::mouseClick(dlg.Animation(), Qt::LeftButton);
        QVERIFY(!dlg.QueueMode());
        QTRY_VERIFY_WITH_TIMEOUT(dlg.RunState() == CPelldraDlg::kIdle && dlg.Queue().LoadAll() == 0, kRunMs);
        QCOMPARE(Q(test::ReadFile(folder + "/f2.jpg")), QStringLiteral("two"));
        QVERIFY(!dlg.QueueButton()->isEnabled() && w->hook.Texts().isEmpty());

        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.ToggleQueueMode();
        for (const char* path : {"/slow/f1.jpg", "/next/f1.jpg"}) {
            EnterUrl(dlg, server.Url(path));
            dlg.StartButton()->click();
        }
        dlg.ToggleQueueMode(); // the first queued order runs
        QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
        QCOMPARE(dlg.Queue().LoadAll(), 1);
        dlg.ExitButton()->click();
        QVERIFY(dlg.ExitRequested() && finished.count() == 0); // still there while the run ends
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kRunMs);
        QTest::qWait(200);
        QVERIFY(server.RequestsFor("/next/f1.jpg").empty() && !test::FileExists(folder + "/f1.jpg"));
        // The stopped run has ended: its order does not come back when the program starts again.
        w.reset();
        QCOMPARE(CWaitQueue().LoadAll(), 1);
    }

    void idleWindowIgnoresEscAndEnterShowsARefusalAndTheReadyClipUnderThePointer()
    {
        test::ShownWindow w(env_->root() + "/missing");
        CPelldraDlg& dlg = w.dlg;
        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        EnterUrl(dlg, "http://h.example/p1.jpg");
        for (QWidget* target : std::initializer_list<QWidget*>{&dlg, dlg.FolderEdit(), dlg.SaveNameEdit()}) {
            target->setFocus();
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(target, key);
        }
        QVERIFY(finished.count() == 0 && dlg.isVisible() && w.hook.Texts().isEmpty());
        // Each refusal is the order builder's; here only how the window shows one: a folder fault, so the stop icon.
        dlg.StartButton()->click();
        QCOMPARE(w.hook.Texts(), QStringList{QStringLiteral("保存用のフォルダ名が不正です。")});
        QCOMPARE(w.hook.Messages().front().icon, MessageIcon::Stop);
        QVERIFY(dlg.RunState() == CPelldraDlg::kIdle && dlg.LogView()->LineCount() == 0 && dlg.Queue().LoadAll() == 0);

        // The pointer over start shows the still ready clip; in queue mode the queue's clip plays whatever it does.
        // Queue mode has a key, named in the picture's tooltip.
        QVERIFY(dlg.Animation()->toolTip().contains(QStringLiteral("Ctrl+M")));
        using Clip = CRunAnimation::Clip;
        const std::tuple<QEvent::Type, bool, Clip, bool> steps[] = {{QEvent::Enter, false, Clip::Ready, false},
                                                                    {QEvent::Leave, false, Clip::Still, false},
                                                                    {QEvent::Enter, true, Clip::Queue, true}};
        for (const auto& [type, queueMode, clip, playing] : steps) {
            if (queueMode != dlg.QueueMode())
                QTest::keyClick(&dlg, Qt::Key_M, Qt::ControlModifier);
            QCOMPARE(dlg.QueueMode(), queueMode);
            QEvent event(type);
            QApplication::sendEvent(dlg.StartButton(), &event);
            QVERIFY(dlg.Animation()->CurrentClip() == clip && dlg.Animation()->IsPlaying() == playing);
        }
    }

    void destroyingTheWindowDuringARunStopsAndJoinsTheEngine()
    {
        test::TestHttpServer server;
        test::Gate gate;
        server.AddHandler("/slow/f1.jpg", gate.Handler("one"));
        server.AddHandler("/slow/f2.jpg", gate.Handler("two"));
        const std::string folder = env_->makeFolder("save");
        auto w = std::make_unique<test::ShownWindow>(folder);
        EnterUrl(w->dlg, server.Url("/slow/f1.jpg"));
        w->dlg.LowerTo()->setText(QStringLiteral("2"));
        w->dlg.StartButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(server.RequestCount(), 2, kRunMs);
        const auto before = std::chrono::steady_clock::now();
        w.reset();
        // Well before the held requests would answer: the transfers were cancelled, not waited for.
        QVERIFY(std::chrono::steady_clock::now() - before < 3s);
        // The lines of the cancelled run still reached the day's log.
        const std::string log = env_->dataFolder() + "/" + CDailyLog::FileNameFor(std::time(nullptr));
        QVERIFY(test::ReadFile(log).find("    ユーザーによる中断") != std::string::npos);
        QVERIFY(!test::FileExists(folder + "/f1.jpg"));
    }

    void subfolderEditAndUpperStringFollowTheUrlAndTheChecks()
    {
        test::ShownWindow w;
        CPelldraDlg& dlg = w.dlg;
        EnterUrl(dlg, "http://h.example/s1/p1.jpg");
        QVERIFY(dlg.SubfolderOn());
        // Each click, then whether the subfolder box is open: not without an upper string, nor with the check off.
        // clang-format off
        const std::pair<QCheckBox*, bool> steps[] = {{nullptr, false}, {dlg.UpperCheck(), true},
            {dlg.SubfolderCheck(), false}, {dlg.SubfolderCheck(), true}, {dlg.UpperCheck(), false}};
        // clang-format on
        for (const auto& [check, open] : steps) {
            if (check)
                QTest::mouseClick(check, Qt::LeftButton);
            QCOMPARE(dlg.SubfolderEdit()->isEnabled(), open);
        }
        QCOMPARE(dlg.Url().GetSelectedField(), 0); // the lower string is selected again
        // The previous-run arrow moves the upper mark one run to the left, and the boxes follow.
        EnterUrl(dlg, "http://h.example/a1/b22/c333.png");
        QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
        QCOMPARE(Q(dlg.UpperFrom()->Value()), QStringLiteral("22"));
        dlg.PrevRunButton()->click();
        QCOMPARE(Q(dlg.UpperFrom()->Value()), QStringLiteral("1"));
        // A URL without a run left of the lower one cannot have an upper string at all.
        EnterUrl(dlg, "http://h.example/p1.jpg");
        QVERIFY(!dlg.UpperCheck()->isEnabled() && !dlg.UpperFrom()->isEnabled() && !dlg.SubfolderEdit()->isEnabled());
    }

    void aQueueThatCannotBeTakenIsNotTakenForEmpty()
    {
        test::ShownWindow w;
        CPelldraDlg& dlg = w.dlg;
        dlg.ToggleQueueMode();
        QCOMPARE(dlg.Queue().Append(Order("a")) + dlg.Queue().Append(Order("b")), 0);
        QVERIFY(test::WriteFile(env_->dataFolder() + "/temp.tmp/keep", "x")); // the queue cannot be rewritten
        QTest::mouseClick(dlg.Animation(), Qt::LeftButton);
        QCOMPARE(w.hook.Texts().size(), 1);
        QVERIFY2(
            w.hook.Texts().front().startsWith(Q("待ち行列から指令を取り出せません：\n" + env_->dataFolder() + ": ")),
            qPrintable(w.hook.Texts().front()));
        // The orders wait in queue mode, as they were.
        QVERIFY(dlg.QueueMode() && dlg.QueueButton()->isEnabled() && dlg.RunState() == CPelldraDlg::kIdle);
        QCOMPARE(dlg.Queue().LoadAll(), 2);
    }

    void queueSummaryWritesEditsOnlyWhenSavedAndEscIsTheWindows()
    {
        test::ShownWindow w;
        CPelldraDlg& dlg = w.dlg;
        for (const char* n : {"a", "b", "c", "d"})
            QVERIFY(dlg.Queue().Append(Order(n)) == 0);
        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            QTreeWidget* list = s->List();
            Select(list, {0});
            QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
            Select(list, {3});
            QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
            QVERIFY(!s->SaveButton()->isEnabled()); // the first row cannot go up, nor the last one down
            QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
            Select(list, {0, 2});
            QTest::keyClick(list, Qt::Key_Delete);
            QCOMPARE(list->topLevelItemCount(), 2);
            QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("/dl/c"));
            QTest::keyClick(list, Qt::Key_Escape); // the boss key is off
            QVERIFY(s->isVisible());
            w.hook.QueueAnswer(MessageAnswer::No);
            s->CloseButton()->click();
        });
        dlg.ShowQueueSummary();
        QCOMPARE(w.hook.Texts(), QStringList{QStringLiteral("待ち行列変更しますか？")});
        QCOMPARE(Queued(dlg.Queue()), QStringLiteral("a b c d"));

        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            Select(s->List(), {1});
            QTest::keyClick(s->List(), Qt::Key_Backspace);
            s->SaveButton()->click();
            QVERIFY(!s->SaveButton()->isEnabled());
            // The boss key hides the window and closes the summary, asking nothing: the last edit is dropped.
            Select(s->List(), {0});
            QTest::keyClick(s->List(), Qt::Key_Delete);
            QVERIFY(s->SaveButton()->isEnabled());
            dlg.Settings().BossKey = 1;
            QTest::keyClick(s->List(), Qt::Key_Escape);
        });
        dlg.ShowQueueSummary();
        QVERIFY(dlg.Hidden() && w.hook.Texts().size() == 1);
        QCOMPARE(Queued(dlg.Queue()), QStringLiteral("a c d"));
    }

    void queueSummaryTakesOutAtOnceAndShowsTheOrder()
    {
        test::ShownWindow w;
        CPelldraDlg& dlg = w.dlg;
        for (const CQueueItem& it : {Order("a"), Order("b", CQueueItem::LIST), Order("<b>c</b>")})
            QVERIFY(dlg.Queue().Append(it) == 0);
        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            // An order's text (from a list or another program) shows in its tooltip as it is, never as markup.
            const QTreeWidgetItem* row = s->List()->topLevelItem(2);
            QTextDocument tip;
            Qt::mightBeRichText(row->toolTip(0)) ? tip.setHtml(row->toolTip(0)) : tip.setPlainText(row->toolTip(0));
            QCOMPARE(tip.toPlainText(), row->text(0));
            QTest::keyClick(s->List(), Qt::Key_Return);
            QCOMPARE(w.hook.Texts(), QStringList{QStringLiteral("選択されたアイテムがありません")});
            Select(s->List(), {2});
            QTest::keyClick(s->List(), Qt::Key_Delete); // unsaved, but written with the take-out
            Select(s->List(), {1});
            QTest::keyClick(s->List(), Qt::Key_Return);
            QVERIFY(!s->isVisible());
        });
        dlg.ShowQueueSummary();
        QCOMPARE(Queued(dlg.Queue()), QStringLiteral("a"));
        QCOMPARE(dlg.ListPathEdit()->text(), QStringLiteral("/lists/b.lst"));

        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            s->PowerOffButton()->click();
            const QPoint row = s->List()->visualItemRect(s->List()->topLevelItem(0)).center();
            QTest::mouseClick(s->List()->viewport(), Qt::LeftButton, {}, row);
            QTest::mouseDClick(s->List()->viewport(), Qt::LeftButton, {}, row);
            QVERIFY(!s->isVisible());
        });
        dlg.ShowQueueSummary();
        QVERIFY(dlg.PowerOffWhenQueueDone() && !dlg.QueueButton()->isEnabled());
        QCOMPARE(dlg.UrlEdit()->Text(), QStringLiteral("http://h.example/a/p1.jpg"));
        dlg.ShowQueueSummary();
        QCOMPARE(w.hook.Texts().last(), QStringLiteral("待ち行列は空です。"));
    }

    void listViewerShowsTheJobsAndHandsBackItsFolder()
    {
        const std::string folder = env_->makeFolder("save");
        test::ShownWindow w(folder);
        CPelldraDlg& dlg = w.dlg;
        dlg.Tabs()->setCurrentIndex(1);
        auto* view = dlg.findChild<QPushButton*>(QStringLiteral("viewList"));
        const std::string listPath = env_->root() + "/pics.lst";
        dlg.ListPathEdit()->setText(Q(listPath));
        QVERIFY(test::WriteFile(listPath, "# nothing\r\n"));
        view->click(); // no dialog for a list without a job
        QVERIFY(test::WriteFile(listPath, "Refe: http://r.example/\r\nhttp://h.example/1.jpg\r\n"));
        test::WhenShown<CUrlListDlg>(this, [&](CUrlListDlg* v) {
            QCOMPARE(v->windowTitle(), QStringLiteral("URLリスト  pics.lst"));
            QCOMPARE(v->List()->topLevelItem(0)->text(1), QStringLiteral("http://r.example/"));
            QCOMPARE(v->Folder(), Q(folder + "/"));
            QTest::keyClick(v->List(), Qt::Key_Escape); // the boss key is off
            QVERIFY(v->isVisible());
            v->FolderEdit()->setText(QStringLiteral("/elsewhere"));
            v->accept();
        });
        view->click();
        QCOMPARE(w.hook.Texts(), QStringList{QStringLiteral("リストは空です。")});
        QCOMPARE(dlg.FolderEdit()->text(), QStringLiteral("/elsewhere"));
    }

    void settingsAndTheSeriesSurviveTheWindowMadeAgain()
    {
        // The files' contents are the settings file's; here that the window writes them at its end and shows them.
        const std::string folder = env_->makeFolder("kept");
        DetailSettings settings;
        settings.UseProxy = 1, settings.ProxyHost = "px", settings.ProxyPort = "8080";
        QSize smallest;
        {
            test::ShownWindow w(folder);
            smallest = w.dlg.minimumSize();
            EnterUrl(w.dlg, "http://h.example/vol2/p05.jpg");
            w.dlg.Settings() = settings;
            w.dlg.Tabs()->setCurrentIndex(1); // closed in the list mode
        }
        MessageHook hook;
        CPelldraDlg dlg{nullptr, {}};
        dlg.show();
        QVERIFY(dlg.Settings() == settings && dlg.Tabs()->currentIndex() == 1 && hook.Texts().isEmpty());
        QCOMPARE(dlg.minimumSize(), smallest); // room for the series layout, though it opens on the list
        QCOMPARE(dlg.UrlEdit()->Text(), QStringLiteral("http://h.example/vol2/p05.jpg"));
        QCOMPARE(dlg.FolderEdit()->text(), Q(folder));
    }

    void logButtonStartsTheViewerOnTheDaysLogOrSaysItIsMissing()
    {
        std::vector<ProgramStart> starts;
        CPelldraDlg::Options options;
        options.startProgram = [&](const ProgramStart& start) {
            starts.push_back(start);
            return starts.size() == 1; // the second start fails
        };
        MessageHook hook;
        CPelldraDlg dlg(nullptr, options);
        const QString dayBefore = Q(CDailyLog::FileNameFor(std::time(nullptr)));
        dlg.LogButton()->click();
        dlg.LogButton()->click();
        const QString dayAfter = Q(CDailyLog::FileNameFor(std::time(nullptr)));
        QVERIFY(starts.size() == 2 && starts[0].name == QStringLiteral("LogViewer"));
        QVERIFY(starts[0].arguments == QStringList{dayBefore} || starts[0].arguments == QStringList{dayAfter});
        QCOMPARE(starts[0].workingFolder, Q(env_->dataFolder()));
        QCOMPARE(hook.Texts(), QStringList{QStringLiteral("LogViewerが正しくインストールされていません。")});
    }

    // An order shown in the window again builds the same order on start: a series, and a list of a page's images.
    // Its Referer reaches a detail dialog that is open meanwhile.
    void anOrderShownAgainBuildsTheSameOrder()
    {
        const std::string folder = env_->makeFolder("save");
        CQueueItem series;
        {
            QueueingWindow w(folder);
            CPelldraDlg& dlg = w.dlg;
            dlg.Settings().Referer = "http://h.example/vol2/index05.html";
            dlg.Settings().syncFlags = 1;
            EnterUrl(dlg, "http://h.example/vol2/p05.jpg");
            QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
            dlg.UpperTo()->setText(QStringLiteral("4"));
            dlg.LowerFrom()->setText(QStringLiteral("01"));
            dlg.LowerTo()->setText(QStringLiteral("09"));
            dlg.SubfolderEdit()->setText(QStringLiteral("v*"));
            dlg.SaveNameEdit()->setText(QStringLiteral("x*.jpg"));
            series = w.StartAndTake();
            QVERIFY(w.hook.Texts().isEmpty());
            QCOMPARE(Q(series.job.Refe), QStringLiteral("http://h.example/vol2/index*.html"));
        }
        series.job.Cook = "sid=1"; // goes with orders from the same URL folder
        CQueueItem page;
        page.Kind = CQueueItem::IMAGE, page.KindName = "IMAGE", page.Lst = env_->root() + "/handed.lst";
        page.Page = "http://h.example/gallery.html", page.Fol = folder, page.Del = 1;

        // A window with other settings, the upper string off and nothing typed.
        QueueingWindow w(env_->makeFolder("other"));
        QString shown;
        test::WhenShown<CDetailDlg>(this, [&](CDetailDlg* detail) {
            w.dlg.LoadItemIntoWindow(series);
            shown = detail->findChild<CUrlEdit*>(QStringLiteral("refererEdit"))->Text();
            QVERIFY(detail->findChild<QCheckBox*>(QStringLiteral("syncLower"))->isChecked());
            QVERIFY(w.dlg.Settings().Referer.empty()); // not before OK
            detail->accept();
        });
        w.dlg.ShowDetailSettings();
        QCOMPARE(shown, QStringLiteral("http://h.example/vol2/index05.html"));
        QVERIFY(Q(w.dlg.Settings().Referer) == shown && w.dlg.Settings().syncFlags == 1);
        QCOMPARE(Q(LoadSettingsFile(SettingsFilePath()).detail.Referer), shown); // kept should the program be killed
        QCOMPARE(Q(w.StartAndTake().ToText()), Q(series.ToText()));
        w.dlg.LoadItemIntoWindow(page);
        const CQueueItem again = w.StartAndTake();
        QVERIFY(std::tie(again.Kind, again.Page, again.Fol, again.Del) ==
                std::tie(page.Kind, page.Page, page.Fol, page.Del));
        // Only that very start: the next one is a plain list.
        QCOMPARE(w.StartAndTake().Kind, int(CQueueItem::LIST));
        QVERIFY(w.hook.Texts().isEmpty());
    }

private:
    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::MainWindowTest)
#include "main_window_test.moc"
