// Tests of the log viewer's window: a day's log with its failures marked, followed as a run appends to it or
// replaces it, the other days, search and failure steps, and URL lines opened in the browser.
#include "gui/log/log_viewer_window.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>

#include <fstream>

#include "gui/log/log_text_view.h"
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

} // namespace

class LogViewerTest final : public QObject
{
    Q_OBJECT

public slots:
    void OpenUrl(const QUrl& url) { opened_ << url; }

private slots:
    void init()
    {
        env_ = std::make_unique<test::TempEnv>();
        messages_ = std::make_unique<MessageHook>();
        folder_ = env_->makeFolder("logs");
        path_ = folder_ + "/260305.log";
        QVERIFY(test::WriteFile(path_, kTodayLog));
        window_ = std::make_unique<LogViewerWindow>(QString::fromStdString(path_));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        view_ = window_->View();
        opened_.clear();
    }
    void cleanup()
    {
        window_.reset();
        QVERIFY(messages_->Messages().empty());
        messages_.reset();
        env_.reset();
    }

    void marksFailuresAndFollowsAppendedAndReplacedFiles()
    {
        QCOMPARE(window_->windowTitle(), QStringLiteral("LogViewer - 260305.log"));
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

    void switchesToAnotherDay()
    {
        QVERIFY(test::WriteFile(folder_ + "/260306.log", "  Logの開始\r\nhttp://b.example/1.jpg\r\n"));
        QComboBox& days = *window_->DayBox();
        QTRY_COMPARE_WITH_TIMEOUT(days.count(), 2, kFollowMs);
        QCOMPARE(days.currentText(), QStringLiteral("2026/03/05 (260305.log)"));
        days.setCurrentIndex(0);
        emit days.activated(0);
        QCOMPARE(window_->windowTitle(), QStringLiteral("LogViewer - 260306.log"));
        QCOMPARE(view_->LineCount(), 2);
        QCOMPARE(view_->FailureCount(), 0);
    }

    void searchesAndStepsThroughFailuresWrappingAround()
    {
        window_->FindEdit()->setText(QStringLiteral("受信側"));
        QTest::keyClick(window_->FindEdit(), Qt::Key_Return);
        Append(path_, "   失敗［status=404］\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view_->FailureCount(), 2, kFollowMs);
        QCOMPARE(view_->CurrentLine(), 2);
        window_->FindNext(false);
        QCOMPARE(view_->CurrentLine(), 6);
        window_->FindNext(false);
        QCOMPARE(view_->CurrentLine(), 2);
        window_->FindNext(true);
        QCOMPARE(view_->CurrentLine(), 6);
        window_->FindEdit()->setText(QStringLiteral("nowhere"));
        window_->FindNext(false);
        QCOMPARE(view_->CurrentLine(), 6);
        for (const auto& [backward, line] : {std::pair{false, 7}, {false, 9}, {false, 7}, {true, 9}}) {
            window_->GoToFailure(backward);
            QCOMPARE(view_->CurrentLine(), line);
        }
    }

    void doubleClickOpensOnlyWebUrlLines()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "OpenUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
        for (const int line : {1, 3, 2}) { // a job's URL, the saved file's path, a status line
            const QTextCursor at(view_->document()->findBlockByNumber(line));
            QTest::mouseDClick(view_->viewport(), Qt::LeftButton, {}, view_->cursorRect(at).center());
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened_, QList<QUrl>{QUrl(QStringLiteral("http://a.example/p/001.jpg"))});
    }

private:
    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<MessageHook> messages_;
    std::string folder_;
    std::string path_;
    std::unique_ptr<LogViewerWindow> window_;
    LogTextView* view_ = nullptr;
    QList<QUrl> opened_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::LogViewerTest)
#include "log_viewer_test.moc"
