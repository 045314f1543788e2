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
        m_env = std::make_unique<test::TempEnv>();
        m_messages = std::make_unique<MessageHook>();
        m_log = new CLogEdit(nullptr);
        m_log->resize(600, 300);
        m_opened.clear();
        m_log->SetUrlOpener([this](const QUrl& url) { m_opened << url; });
        m_log->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_log));
    }

    void cleanup()
    {
        delete m_log;
        m_messages.reset();
        m_env.reset();
    }

    void trimsToTheNewestHalf()
    {
        // Lines appended so far, then how many are kept and the first of them.
        const int marks[][3] = {{99, 99, 0},    {100, 100, 0},  {101, 51, 50},
                                {150, 100, 50}, {151, 51, 100}, {1000, 100, 900}};
        int appended = 0;
        for (const auto& [upTo, count, first] : marks) {
            while (appended < upTo)
                m_log->AppendLine(QStringLiteral("  line %1").arg(appended++));
            QCOMPARE(m_log->LineCount(), count);
            QCOMPARE(m_log->Line(0), QStringLiteral("  line %1").arg(first));
            QCOMPARE(m_log->Line(count - 1), QStringLiteral("  line %1").arg(upTo - 1));
        }
    }

    void newestLineInView()
    {
        for (int i = 0; i < 60; ++i)
            m_log->AppendLine(std::string_view("http://a.example/長い/001.jpg"));
        QVERIFY(m_log->verticalScrollBar()->maximum() > 0);
        QCOMPARE(m_log->verticalScrollBar()->value(), m_log->verticalScrollBar()->maximum());
        // Scrolled up by the user, the next line still brings the newest into view.
        m_log->verticalScrollBar()->setValue(0);
        m_log->AppendLine(QStringLiteral("    全て終了"));
        QCOMPARE(m_log->verticalScrollBar()->value(), m_log->verticalScrollBar()->maximum());
        QCOMPARE(m_log->Line(60), QStringLiteral("    全て終了"));
        QCOMPARE(m_log->Line(0), QStringLiteral("http://a.example/長い/001.jpg"));
    }

    void initAndBeginRun()
    {
        m_log->AppendLine(QStringLiteral("  old"));
        m_log->Init();
        QCOMPARE(m_log->LineCount(), 0);
        QVERIFY(!m_log->isEnabled());
        m_log->AppendLine(QStringLiteral("  x"));
        m_log->BeginRun();
        QVERIFY(m_log->isEnabled());
        QCOMPARE(m_log->LineCount(), 0);
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
        m_log->AppendLine(QStringLiteral("  Logの開始"));
        m_log->AppendLine(line);
        m_log->AppendLine(QStringLiteral("    全て終了"));
        QTest::mouseDClick(m_log->viewport(), Qt::LeftButton, {}, PointOfLine(1));
        if (opened.isEmpty())
            QCOMPARE(m_opened, QList<QUrl>{});
        else
            QCOMPARE(m_opened, QList<QUrl>{QUrl(opened)});
    }

    void menuOnlyOnUrlLines()
    {
        const struct
        {
            const char* line;
            bool menu;
            bool enabled;
        } cases[] = {{"   200 OK", false, false}, // a status line
                     {"", false, false},
                     {"ftp://a.example/1.jpg", true, false},
                     {"http://a.example/1.jpg ", true, true}};
        m_log->AppendLine(QStringLiteral("  Logの開始"));
        for (const auto& c : cases) {
            m_log->AppendLine(QString::fromUtf8(c.line));
            std::unique_ptr<QMenu> shown(m_log->CreateLineMenu(PointOfLine(m_log->LineCount() - 1)));
            // The clicked line is selected either way.
            QCOMPARE(m_log->textCursor().selectedText(), QString::fromUtf8(c.line));
            QCOMPARE(shown != nullptr, c.menu);
            if (!shown)
                continue;
            QCOMPARE(shown->actions().size(), 2);
            QCOMPARE(shown->actions().at(0)->text(), QStringLiteral("LinkScoutで見る"));
            QCOMPARE(shown->actions().at(1)->text(), QStringLiteral("画像チェック"));
            QCOMPARE(shown->actions().at(0)->isEnabled(), c.enabled);
            QCOMPARE(shown->actions().at(1)->isEnabled(), c.enabled);
            if (c.enabled)
                shown->actions().at(0)->trigger();
        }
        QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("http://a.example/1.jpg"))});
    }

    void imageCheckWritesAnEscapedPageOrSaysItCannot()
    {
        const QString url = QStringLiteral("http://a.example/i.cgi?a=1&b=\"<x>\"");
        m_log->AppendLine(url);
        const auto check = [this] {
            std::unique_ptr<QMenu> menu(m_log->CreateLineMenu(PointOfLine(0)));
            QVERIFY(menu);
            menu->actions().at(1)->trigger();
        };
        // A folder in the page's place cannot be replaced by a file: said so, and nothing is opened.
        const std::string path = m_env->dataFolder() + "/imagetest.htm";
        QVERIFY(test::WriteFile(path + "/keep", "x"));
        check();
        QCOMPARE(m_messages->Texts(), QStringList{QStringLiteral("一時ファイルが作れません。")});
        QCOMPARE(m_opened, QList<QUrl>{});

        QVERIFY(QDir(QString::fromStdString(path)).removeRecursively());
        check();
        QCOMPARE(test::ReadFile(path),
                 std::string("<html><body><img src=\"http://a.example/i.cgi?a=1&amp;b=&quot;&lt;x&gt;&quot;\">"
                             "</body></html>"));
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(path))});
        QCOMPARE(m_messages->Texts().size(), 1);
    }

private:
    QPoint PointOfLine(int i) const
    {
        return m_log->cursorRect(QTextCursor(m_log->document()->findBlockByNumber(i))).center() + QPoint(4, 0);
    }

    std::unique_ptr<test::TempEnv> m_env;
    std::unique_ptr<MessageHook> m_messages;
    CLogEdit* m_log = nullptr;
    QList<QUrl> m_opened;
};

QTEST_MAIN(LogEditTest)
#include "log_edit_test.moc"
