// Tests of the log view: trimming to the newest half, URL lines opened by double click and menu (http(s) only),
// and the image test page.
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gui/log/log_edit.h"
#include "gui/platform/message_box.h"
#include "support/temp_env.h"

using namespace pelldra;

class LogEditTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        env_ = std::make_unique<test::TempEnv>();
        messages_ = std::make_unique<MessageHook>();
        log_ = new CLogEdit(nullptr);
        log_->resize(600, 300);
        opened_.clear();
        log_->SetUrlOpener([this](const QUrl& url) { opened_ << url; });
        log_->show();
        QVERIFY(QTest::qWaitForWindowExposed(log_));
    }

    void cleanup()
    {
        delete log_;
        messages_.reset();
        env_.reset();
    }

    void trimsToTheNewestHalf()
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

    void newestLineInView()
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
    }

    void initAndBeginRunEmptyTheView()
    {
        log_->AppendLine(QStringLiteral("  old"));
        log_->Init();
        QVERIFY(!log_->isEnabled());
        log_->AppendLine(QStringLiteral("  x"));
        log_->BeginRun();
        QVERIFY(log_->isEnabled());
        QCOMPARE(log_->LineCount(), 0);
    }

    void onlyWebUrlLinesOpenByDoubleClickOrMenu()
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
            const QPoint at = PointOfLine(log_->LineCount() - 1);
            QTest::mouseDClick(log_->viewport(), Qt::LeftButton, {}, at);
            std::unique_ptr<QMenu> menu(log_->CreateLineMenu(at));
            QCOMPARE(log_->textCursor().selectedText(), QString::fromUtf8(line)); // selected either way
            QCOMPARE(menu != nullptr, url != nullptr);
            if (menu)
                menu->actions().at(0)->trigger(); // shown in LinkScout
            QCOMPARE(opened_, url ? QList<QUrl>(2, QUrl(QString::fromUtf8(url))) : QList<QUrl>{});
        }
        QVERIFY(messages_->Messages().empty());
    }

    void imageCheckOpensItsPageOrSaysItCannotWriteIt()
    {
        log_->AppendLine(QStringLiteral("http://a.example/1.jpg"));
        std::unique_ptr<QMenu> menu(log_->CreateLineMenu(PointOfLine(0)));
        QVERIFY(menu);
        menu->actions().at(1)->trigger();
        const std::string page = env_->dataFolder() + "/imagetest.htm";
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(page))});
        // A folder in the page's place cannot be replaced by a file.
        QVERIFY(std::remove(page.c_str()) == 0 && test::WriteFile(page + "/keep", "x"));
        menu->actions().at(1)->trigger();
        QCOMPARE(messages_->Texts(), QStringList{QStringLiteral("一時ファイルが作れません。")});
        QCOMPARE(opened_.size(), 1);
    }

private:
    QPoint PointOfLine(int i) const
    {
        return log_->cursorRect(QTextCursor(log_->document()->findBlockByNumber(i))).center() + QPoint(4, 0);
    }

    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<MessageHook> messages_;
    CLogEdit* log_ = nullptr;
    QList<QUrl> opened_;
};

QTEST_MAIN(LogEditTest)
#include "log_edit_test.moc"
