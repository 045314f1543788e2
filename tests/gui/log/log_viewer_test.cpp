// Tests of the log viewer's window: a day's log with its failures marked, followed as a run appends to it, the
// other days, search and failure steps, and URL lines opened in the browser.
#include "gui/log/log_viewer_window.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>

#include <fstream>

#include "gui/log/log_text_view.h"
#include "support/temp_env.h"

namespace pelldra {

namespace {

constexpr int kFollowMs = 10000;

// A run with three jobs, the second of which failed with a message.
const std::string kTodayLog = "  Logの開始\r\n"
                              "http://a.example/p/001.jpg\r\n"
                              "    downloading....\r\n"
                              "    受信側：\r\n"
                              "/home/u/p/001.jpg\r\n"
                              "    成功\r\n"
                              "http://a.example/p/002.jpg\r\n"
                              "    downloading....\r\n"
                              "    受信側：\r\n"
                              "/home/u/p/002.jpg\r\n"
                              "   失敗［status=2］\r\n"
                              "    サーバー応答がタイムアウトです\r\n";

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

QStringList Lines(const LogTextView& view)
{
    QStringList lines;
    for (int i = 0; i < view.LineCount(); ++i)
        lines << view.Line(i);
    return lines;
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
        folder_ = env_->makeFolder("logs");
        QVERIFY(test::WriteFile(folder_ + "/260305.log", kTodayLog));
        // The older program's log of an earlier day, in CP932: "  Logの開始" and a failure.
        QVERIFY(test::WriteFile(folder_ + "/991231.log", "  Log\x82\xCC\x8AJ\x8En\r\nhttp://b.example/1.jpg\r\n"
                                                          "   \x8E\xB8\x94\x73\x81\x6Dstatus=404\x81\x6E\r\n"));
        window_ = std::make_unique<LogViewerWindow>(QString::fromStdString(folder_ + "/260305.log"));
        window_->show();
        opened_.clear();
    }
    void cleanup()
    {
        window_.reset();
        env_.reset();
    }

    void showsTheLogWithItsFailureMarked()
    {
        LogTextView& view = *window_->View();
        QCOMPARE(view.LineCount(), 12);
        QCOMPARE(window_->windowTitle(), QStringLiteral("LogViewer - 260305.log"));
        QCOMPARE(view.FailureCount(), 1);
        QCOMPARE(view.KindOf(9), LogLineKind::Plain);
        QCOMPARE(view.KindOf(10), LogLineKind::Failure);
        QCOMPARE(view.KindOf(11), LogLineKind::FailureDetail);
        // New lines below a marked one are plain again.
        Append(folder_ + "/260305.log", "    全て終了\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view.LineCount(), 13, kFollowMs);
        QCOMPARE(view.KindOf(12), LogLineKind::Plain);
        QVERIFY(!view.document()->findBlockByNumber(12).blockFormat().hasProperty(QTextFormat::BackgroundBrush));
    }

    void followsAppendedLinesAndAReplacedFile()
    {
        const std::string path = folder_ + "/260305.log";
        LogTextView& view = *window_->View();
        Append(path, "http://a.example/p/003.jpg\r\n    downlo");
        QTRY_COMPARE_WITH_TIMEOUT(view.LineCount(), 14, kFollowMs);
        QCOMPARE(view.Line(13), QStringLiteral("    downlo"));
        Append(path, "ading....\r\n    受信側：\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view.LineCount(), 15, kFollowMs);
        QCOMPARE(Lines(view).mid(12),
                 (QStringList{QStringLiteral("http://a.example/p/003.jpg"), QStringLiteral("    downloading...."),
                              QStringLiteral("    受信側：")}));

        const std::string fresh = folder_ + "/fresh.tmp";
        QVERIFY(test::WriteFile(fresh, "  Logの開始\r\n"));
        QVERIFY(std::rename(fresh.c_str(), path.c_str()) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(Lines(view), QStringList{QStringLiteral("  Logの開始")}, kFollowMs);
        QCOMPARE(view.FailureCount(), 0);
        // The new file is followed too.
        Append(path, "    全て終了\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view.LineCount(), 2, kFollowMs);
    }

    void switchesToAnotherDayNewestFirst()
    {
        QVERIFY(test::WriteFile(folder_ + "/260306.log", "  Logの開始\r\n"));
        QComboBox& days = *window_->DayBox();
        QTRY_COMPARE_WITH_TIMEOUT(days.count(), 3, kFollowMs);
        QCOMPARE(days.itemText(0), QStringLiteral("2026/03/06 (260306.log)"));
        QCOMPARE(days.currentText(), QStringLiteral("2026/03/05 (260305.log)"));
        QCOMPARE(days.itemData(2).toString(), QStringLiteral("991231.log"));

        days.setCurrentIndex(2);
        emit days.activated(2);
        QCOMPARE(window_->windowTitle(), QStringLiteral("LogViewer - 991231.log"));
        QCOMPARE(Lines(*window_->View()),
                 (QStringList{QStringLiteral("  Logの開始"), QStringLiteral("http://b.example/1.jpg"),
                              QStringLiteral("   失敗［status=404］")}));
        QCOMPARE(window_->View()->FailureCount(), 1);
    }

    void searchesAndStepsThroughFailuresWrappingAround()
    {
        LogTextView& view = *window_->View();
        window_->FindEdit()->setText(QStringLiteral("受信側"));
        QTest::keyClick(window_->FindEdit(), Qt::Key_Return);
        QCOMPARE(view.CurrentLine(), 3);
        window_->FindNext(false);
        QCOMPARE(view.CurrentLine(), 8);
        window_->FindNext(false);
        QCOMPARE(view.CurrentLine(), 3);
        window_->FindNext(true);
        QCOMPARE(view.CurrentLine(), 8);
        window_->FindEdit()->setText(QStringLiteral("nowhere"));
        window_->FindNext(false);
        QCOMPARE(view.CurrentLine(), 8);

        Append(folder_ + "/260305.log", "   失敗［status=404］\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(view.FailureCount(), 2, kFollowMs);
        window_->GoToFailure(false);
        QCOMPARE(view.CurrentLine(), 10);
        window_->GoToFailure(false);
        QCOMPARE(view.CurrentLine(), 12);
        window_->GoToFailure(false);
        QCOMPARE(view.CurrentLine(), 10);
        window_->GoToFailure(true);
        QCOMPARE(view.CurrentLine(), 12);
    }

    void doubleClickOpensOnlyWebUrlLines()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "OpenUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
        LogTextView& view = *window_->View();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        const auto doubleClick = [&view](int line) {
            const QTextCursor at(view.document()->findBlockByNumber(line));
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.cursorRect(at).center());
        };
        doubleClick(1); // a job's URL
        doubleClick(4); // the saved file's path
        doubleClick(3); // a status line
        QCOMPARE(opened_, QList<QUrl>{QUrl(QStringLiteral("http://a.example/p/001.jpg"))});
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

private:
    std::unique_ptr<test::TempEnv> env_;
    std::string folder_;
    std::unique_ptr<LogViewerWindow> window_;
    QList<QUrl> opened_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::LogViewerTest)
#include "log_viewer_test.moc"
