// Tests of the log view: trimming to the newest half, URL lines opened by double click and menu (http(s) only),
// and the image test page.
#include <QDir>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include <memory>

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

    void initAndBeginRun()
    {
        log_->AppendLine(QStringLiteral("  old"));
        log_->Init();
        QCOMPARE(log_->LineCount(), 0);
        QVERIFY(!log_->isEnabled());
        log_->AppendLine(QStringLiteral("  x"));
        log_->BeginRun();
        QVERIFY(log_->isEnabled());
        QCOMPARE(log_->LineCount(), 0);
    }

    void doubleClickOpensUrlLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("opened"); // "" for nothing
        QTest::newRow("url line") << "http://a.example/x/001.jpg"
                                  << "http://a.example/x/001.jpg";
        QTest::newRow("trailing blanks") << "https://a.example/x/002.jpg   \t"
                                         << "https://a.example/x/002.jpg";
        QTest::newRow("status line") << "  http://a.example/x/001.jpg 404"
                                     << "";
        QTest::newRow("log start") << "  Logの開始"
                                   << "";
        QTest::newRow("local file") << "file:///etc/passwd"
                                    << "";
        QTest::newRow("script") << "javascript:alert(1)"
                                << "";
        QTest::newRow("program path") << "/usr/bin/xterm"
                                      << "";
    }

    void doubleClickOpensUrlLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, opened);
        log_->AppendLine(QStringLiteral("  Logの開始"));
        log_->AppendLine(line);
        log_->AppendLine(QStringLiteral("    全て終了"));
        QTest::mouseDClick(log_->viewport(), Qt::LeftButton, {}, PointOfLine(1));
        if (opened.isEmpty())
            QCOMPARE(opened_, QList<QUrl>{});
        else
            QCOMPARE(opened_, QList<QUrl>{QUrl(opened)});
    }

    void menuOnlyOnUrlLines()
    {
        // Only lines that can be opened get a menu: messages and other schemes start without blanks too.
        const std::pair<const char*, bool> cases[] = {{"   200 OK", false},
                                                      {"", false},
                                                      {"ftp://a.example/1.jpg", false},
                                                      {"Parse Error! http://[zz/1.jpg", false},
                                                      {"http://a.example/1.jpg ", true}};
        log_->AppendLine(QStringLiteral("  Logの開始"));
        for (const auto& [line, menu] : cases) {
            log_->AppendLine(QString::fromUtf8(line));
            std::unique_ptr<QMenu> shown(log_->CreateLineMenu(PointOfLine(log_->LineCount() - 1)));
            // The clicked line is selected either way.
            QCOMPARE(log_->textCursor().selectedText(), QString::fromUtf8(line));
            QCOMPARE(shown != nullptr, menu);
            if (!shown)
                continue;
            QCOMPARE(shown->actions().size(), 2);
            QCOMPARE(shown->actions().at(0)->text(), QStringLiteral("LinkScoutで見る"));
            QCOMPARE(shown->actions().at(1)->text(), QStringLiteral("画像チェック"));
            shown->actions().at(0)->trigger();
        }
        QCOMPARE(opened_, QList<QUrl>{QUrl(QStringLiteral("http://a.example/1.jpg"))});
    }

    void imageCheckWritesAnEscapedPageOrSaysItCannot()
    {
        const QString url = QStringLiteral("http://a.example/i.cgi?a=1&b=\"<x>\"");
        log_->AppendLine(url);
        const auto check = [this] {
            std::unique_ptr<QMenu> menu(log_->CreateLineMenu(PointOfLine(0)));
            QVERIFY(menu);
            menu->actions().at(1)->trigger();
        };
        // A folder in the page's place cannot be replaced by a file: said so, and nothing is opened.
        const std::string path = env_->dataFolder() + "/imagetest.htm";
        QVERIFY(test::WriteFile(path + "/keep", "x"));
        check();
        QCOMPARE(messages_->Texts(), QStringList{QStringLiteral("一時ファイルが作れません。")});
        QCOMPARE(opened_, QList<QUrl>{});

        QVERIFY(QDir(QString::fromStdString(path)).removeRecursively());
        check();
        QCOMPARE(test::ReadFile(path),
                 std::string("<html><body><img src=\"http://a.example/i.cgi?a=1&amp;b=&quot;&lt;x&gt;&quot;\">"
                             "</body></html>"));
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(path))});
        QCOMPARE(messages_->Texts().size(), 1);
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
