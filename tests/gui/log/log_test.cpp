// Tests of the window's log view (trimming, URL lines, the image test page) and of the log viewer's window (failures
// marked, a growing or replaced file followed, other days, search and failure steps, URL lines).
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "gui/log/log_edit.h"
#include "gui/log/log_text_view.h"
#include "gui/log/log_viewer_window.h"
#include "gui/platform/message_box.h"
#include "support/temp_env.h"

namespace pelldra {

namespace {

constexpr int kFollowMs = 10000;

// A run with two jobs, the second of which failed with a message.
const std::string kTodayLog = "  Logの開始\r\n"
                              "http://a.example/p/001.jpg\r\n"
                              "    受信側：\r\n"
                              "/home/u/p/001.jpg\r\n"
                              "    成功\r\n"
                              "http://a.example/p/002.jpg\r\n"
                              "    受信側：\r\n"
                              "   失敗［status=2］\r\n"
                              "    サーバー応答がタイムアウトです\r\n";

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

bool Marked(const LogTextView& view, int line)
{
    return view.document()->findBlockByNumber(line).blockFormat().hasProperty(QTextFormat::BackgroundBrush);
}

QPoint PointOfLine(const QPlainTextEdit& edit, int i)
{
    return edit.cursorRect(QTextCursor(edit.document()->findBlockByNumber(i))).center() + QPoint(4, 0);
}

} // namespace

class LogTest final : public QObject
{
    Q_OBJECT

public slots:
    void OpenUrl(const QUrl& url) { opened_ << url; }

private slots:
    void init()
    {
        env_ = std::make_unique<test::TempEnv>();
        messages_ = std::make_unique<MessageHook>();
        opened_.clear();
        log_ = std::make_unique<CLogEdit>(nullptr);
        log_->resize(600, 300);
        log_->SetUrlOpener([this](const QUrl& url) { OpenUrl(url); });
        folder_ = env_->makeFolder("logs");
        path_ = folder_ + "/260305.log";
        QVERIFY(test::WriteFile(path_, kTodayLog));
        viewer_ = std::make_unique<LogViewerWindow>(QString::fromStdString(path_));
        view_ = viewer_->View();
        for (QWidget* window : {static_cast<QWidget*>(log_.get()), static_cast<QWidget*>(viewer_.get())}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
        }
    }
    void cleanup()
    {
        viewer_.reset();
        log_.reset();
        QCOMPARE(messages_->Texts(), QStringList());
        messages_.reset();
        env_.reset();
    }

    void logViewTrimsToTheNewestHalf()
    {
        // Lines appended so far, then how many are kept and the first of them. The lines up to each mark come as one
        // batch, as the engine gives them.
        const int marks[][3] = {{99, 99, 0},    {100, 100, 0},  {101, 51, 50},
                                {150, 100, 50}, {151, 51, 100}, {1000, 100, 900}};
        int appended = 0;
        for (const auto& [upTo, count, first] : marks) {
            std::vector<std::string> batch;
            while (appended < upTo)
                batch.push_back("  line " + std::to_string(appended++));
            log_->AppendLines(batch);
            QCOMPARE(log_->LineCount(), count);
            QCOMPARE(log_->Line(0), QStringLiteral("  line %1").arg(first));
            QCOMPARE(log_->Line(count - 1), QStringLiteral("  line %1").arg(upTo - 1));
        }
    }

    void logViewKeepsTheNewestLineInViewAndEmptiesForARun()
    {
        for (int i = 0; i < 60; ++i)
            log_->AppendLine(std::string_view("http://a.example/長い/001.jpg"));
        QVERIFY(log_->verticalScrollBar()->maximum() > 0);
        QCOMPARE(log_->verticalScrollBar()->value(), log_->verticalScrollBar()->maximum());
        // Scrolled up by the user, the next line still brings the newest into view.
        log_->verticalScrollBar()->setValue(0);
        log_->AppendLine(QStringLiteral("    全て終了"));
        QCOMPARE(log_->verticalScrollBar()->value(), log_->verticalScrollBar()->maximum());
        QCOMPARE(log_->Line(60), QStringLiteral("    全て終了"));
        QCOMPARE(log_->Line(0), QStringLiteral("http://a.example/長い/001.jpg"));

        log_->Init();
        QVERIFY(!log_->isEnabled());
        log_->AppendLine(QStringLiteral("  x"));
        log_->BeginRun();
        QVERIFY(log_->isEnabled());
        QCOMPARE(log_->LineCount(), 0);
    }

    void logViewOpensOnlyWebUrlLinesByDoubleClickOrMenu()
    {
        // Which lines are web URLs is the core's rule; the view must ask it and hand on nothing else. Messages and
        // other schemes start without blanks too.
        const std::pair<const char*, const char*> cases[] = {
            {"https://a.example/x/002.jpg   \t", "https://a.example/x/002.jpg"},
            {"  http://a.example/x/001.jpg 404", nullptr},
            {"file:///etc/passwd", nullptr},
            {"Parse Error! http://[zz/1.jpg", nullptr}};
        for (const auto& [line, url] : cases) {
            opened_.clear();
            log_->AppendLine(QString::fromUtf8(line));
            const QPoint at = PointOfLine(*log_, log_->LineCount() - 1);
            QTest::mouseDClick(log_->viewport(), Qt::LeftButton, {}, at);
            std::unique_ptr<QMenu> menu(log_->CreateLineMenu(at));
            QCOMPARE(log_->textCursor().selectedText(), QString::fromUtf8(line)); // selected either way
            QCOMPARE(menu != nullptr, url != nullptr);
            if (menu)
                menu->actions().at(0)->trigger(); // shown in LinkScout
            QCOMPARE(opened_, url ? QList<QUrl>(2, QUrl(QString::fromUtf8(url))) : QList<QUrl>{});
        }
    }

    void imageCheckOpensItsPageOrSaysItCannotWriteIt()
    {
        log_->AppendLine(QStringLiteral("http://a.example/1.jpg"));
        std::unique_ptr<QMenu> menu(log_->CreateLineMenu(PointOfLine(*log_, 0)));
        QVERIFY(menu);
        menu->actions().at(1)->trigger();
        const std::string page = env_->dataFolder() + "/imagetest.htm";
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(page))});
        // A folder in the page's place cannot be replaced by a file.
        QVERIFY(std::remove(page.c_str()) == 0 && test::WriteFile(page + "/keep", "x"));
        menu->actions().at(1)->trigger();
        QCOMPARE(messages_->Texts(), QStringList{QStringLiteral("一時ファイルが作れません。")});
        QCOMPARE(opened_.size(), 1);
        messages_->Clear();
    }

    void viewerMarksFailuresAndFollowsAppendedAndReplacedFiles()
    {
        QCOMPARE(viewer_->windowTitle(), QStringLiteral("LogViewer - 260305.log"));
        QCOMPARE(view_->LineCount(), 9);
        QCOMPARE(view_->FailureCount(), 1);
        QVERIFY(!Marked(*view_, 6) && Marked(*view_, 7) && Marked(*view_, 8));
        // A line below the marked ones comes plain.
        Append(path_, "    全て終了\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view_->LineCount(), 10, kFollowMs);
        QVERIFY(!Marked(*view_, 9));

        const std::string fresh = folder_ + "/fresh.tmp";
        QVERIFY(test::WriteFile(fresh, "  Logの開始\r\n"));
        QVERIFY(std::rename(fresh.c_str(), path_.c_str()) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(view_->LineCount(), 1, kFollowMs);
        QCOMPARE(view_->FailureCount(), 0);
        Append(path_, "    全て終了\r\n"); // the new file is followed too
        QTRY_COMPARE_WITH_TIMEOUT(view_->LineCount(), 2, kFollowMs);
    }

    void viewerSwitchesToAnotherDay()
    {
        QVERIFY(test::WriteFile(folder_ + "/260306.log", "  Logの開始\r\nhttp://b.example/1.jpg\r\n"));
        QComboBox& days = *viewer_->DayBox();
        QTRY_COMPARE_WITH_TIMEOUT(days.count(), 2, kFollowMs);
        QCOMPARE(days.currentText(), QStringLiteral("2026/03/05 (260305.log)"));
        days.setCurrentIndex(0);
        emit days.activated(0);
        QCOMPARE(viewer_->windowTitle(), QStringLiteral("LogViewer - 260306.log"));
        QCOMPARE(view_->LineCount(), 2);
        QCOMPARE(view_->FailureCount(), 0);
    }

    void viewerSearchesAndStepsThroughFailuresWrappingAround()
    {
        viewer_->FindEdit()->setText(QStringLiteral("受信側"));
        QTest::keyClick(viewer_->FindEdit(), Qt::Key_Return);
        Append(path_, "   失敗［status=404］\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view_->FailureCount(), 2, kFollowMs);
        QCOMPARE(view_->CurrentLine(), 2);
        for (const auto& [backward, line] : {std::pair{false, 6}, {false, 2}, {true, 6}}) {
            viewer_->FindNext(backward);
            QCOMPARE(view_->CurrentLine(), line);
        }
        viewer_->FindEdit()->setText(QStringLiteral("nowhere"));
        viewer_->FindNext(false);
        QCOMPARE(view_->CurrentLine(), 6);
        for (const auto& [backward, line] : {std::pair{false, 7}, {false, 9}, {false, 7}, {true, 9}}) {
            viewer_->GoToFailure(backward);
            QCOMPARE(view_->CurrentLine(), line);
        }
    }

    void viewerHidesOnTheBossKeyAndComesBackOnlyIfItHid()
    {
        viewer_->FollowBroadcast(QStringLiteral("Pelldra-BossCome"));
        QVERIFY(!viewer_->isVisible());
        viewer_->FollowBroadcast(QStringLiteral("Pelldra-PopUp"));
        QVERIFY(viewer_->isVisible());
        viewer_->hide(); // closed by the user: the main window coming up leaves it closed
        viewer_->FollowBroadcast(QStringLiteral("Pelldra-BossCome"));
        viewer_->FollowBroadcast(QStringLiteral("Pelldra-PopUp"));
        QVERIFY(!viewer_->isVisible());
    }

    void viewerOpensOnlyWebUrlLinesOnADoubleClick()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "OpenUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
        for (const int line : {1, 3, 2}) // a job's URL, the saved file's path, a status line
            QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, PointOfLine(*view_, line));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened_, QList<QUrl>{QUrl(QStringLiteral("http://a.example/p/001.jpg"))});
    }

private:
    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<MessageHook> messages_;
    QList<QUrl> opened_;
    std::unique_ptr<CLogEdit> log_;
    std::string folder_;
    std::string path_;
    std::unique_ptr<LogViewerWindow> viewer_;
    LogTextView* view_ = nullptr;
};

} // namespace pelldra

QTEST_MAIN(pelldra::LogTest)
#include "log_test.moc"
