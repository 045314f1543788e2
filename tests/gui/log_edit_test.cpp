// Tests of the log view: trimming to the newest half, URL lines opened by double click and menu (http(s) only),
// and the image test page.
#include <QDir>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include <memory>

#include "gui/engine/log_edit.h"
#include "gui/platform/message_box.h"
#include "support/temp_env.h"

using namespace pelldra;

class LogEditTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void trimsToTheNewestHalf_data();
    void trimsToTheNewestHalf();
    void newestLineInView();
    void initAndBeginRun();
    void doubleClickOpensUrlLines_data();
    void doubleClickOpensUrlLines();
    void menuOnlyOnUrlLines_data();
    void menuOnlyOnUrlLines();
    void menuViewOpensTheUrl();
    void imageCheckWritesEscapedPage();
    void imageCheckFailureShowsMessage();

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

void LogEditTest::init()
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

void LogEditTest::cleanup()
{
    delete m_log;
    m_messages.reset();
    m_env.reset();
}

void LogEditTest::trimsToTheNewestHalf_data()
{
    QTest::addColumn<int>("appended");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("first");
    QTest::newRow("99 lines") << 99 << 99 << 0;
    QTest::newRow("100 lines, all kept") << 100 << 100 << 0;
    QTest::newRow("the 101st drops lines 0-49") << 101 << 51 << 50;
    QTest::newRow("filled again") << 150 << 100 << 50;
    QTest::newRow("second trim") << 151 << 51 << 100;
    QTest::newRow("many") << 1000 << 100 << 900;
}

void LogEditTest::trimsToTheNewestHalf()
{
    QFETCH(int, appended);
    QFETCH(int, count);
    QFETCH(int, first);
    for (int i = 0; i < appended; ++i)
        m_log->AppendLine(QStringLiteral("  line %1").arg(i));
    QCOMPARE(m_log->LineCount(), count);
    QCOMPARE(m_log->Line(0), QStringLiteral("  line %1").arg(first));
    QCOMPARE(m_log->Line(count - 1), QStringLiteral("  line %1").arg(appended - 1));
}

void LogEditTest::newestLineInView()
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

void LogEditTest::initAndBeginRun()
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

void LogEditTest::doubleClickOpensUrlLines_data()
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

void LogEditTest::doubleClickOpensUrlLines()
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

void LogEditTest::menuOnlyOnUrlLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("menu");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("url line") << "http://a.example/1.jpg" << true << true;
    QTest::newRow("status line") << "   200 OK" << false << false;
    QTest::newRow("empty line") << "" << false << false;
    QTest::newRow("not a web url") << "ftp://a.example/1.jpg" << true << false;
}

void LogEditTest::menuOnlyOnUrlLines()
{
    QFETCH(QString, line);
    QFETCH(bool, menu);
    QFETCH(bool, enabled);
    m_log->AppendLine(QStringLiteral("  Logの開始"));
    m_log->AppendLine(line);
    m_log->AppendLine(QStringLiteral("http://a.example/other.jpg"));
    std::unique_ptr<QMenu> shown(m_log->CreateLineMenu(PointOfLine(1)));
    // The clicked line is selected either way.
    QCOMPARE(m_log->textCursor().selectedText(), line);
    QCOMPARE(shown != nullptr, menu);
    if (!shown)
        return;
    QCOMPARE(shown->actions().size(), 2);
    QCOMPARE(shown->actions().at(0)->text(), QStringLiteral("LinkScoutで見る"));
    QCOMPARE(shown->actions().at(1)->text(), QStringLiteral("画像チェック"));
    QCOMPARE(shown->actions().at(0)->isEnabled(), enabled);
    QCOMPARE(shown->actions().at(1)->isEnabled(), enabled);
}

void LogEditTest::menuViewOpensTheUrl()
{
    m_log->AppendLine(QStringLiteral("http://a.example/a.jpg"));
    m_log->AppendLine(QStringLiteral("http://a.example/b.jpg "));
    std::unique_ptr<QMenu> menu(m_log->CreateLineMenu(PointOfLine(1)));
    QVERIFY(menu);
    menu->actions().at(0)->trigger();
    QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("http://a.example/b.jpg"))});
}

void LogEditTest::imageCheckWritesEscapedPage()
{
    const QString url = QStringLiteral("http://a.example/i.cgi?a=1&b=\"<x>\"");
    m_log->AppendLine(url);
    std::unique_ptr<QMenu> menu(m_log->CreateLineMenu(PointOfLine(0)));
    QVERIFY(menu);
    menu->actions().at(1)->trigger();

    const std::string path = m_env->dataFolder() + "/imagetest.htm";
    QCOMPARE(test::ReadFile(path),
             std::string("<html><body><img src=\"http://a.example/i.cgi?a=1&amp;b=&quot;&lt;x&gt;&quot;\">"
                         "</body></html>"));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(path))});
    QVERIFY(m_messages->Messages().empty());
}

void LogEditTest::imageCheckFailureShowsMessage()
{
    // A folder in the page's place cannot be replaced by a file.
    QVERIFY(test::WriteFile(m_env->dataFolder() + "/imagetest.htm/keep", "x"));
    m_log->AppendLine(QStringLiteral("http://a.example/1.jpg"));
    std::unique_ptr<QMenu> menu(m_log->CreateLineMenu(PointOfLine(0)));
    QVERIFY(menu);
    menu->actions().at(1)->trigger();
    QCOMPARE(m_messages->Texts(), QStringList{QStringLiteral("一時ファイルが作れません。")});
    QCOMPARE(m_opened, QList<QUrl>{}); // nothing is opened
}

QTEST_MAIN(LogEditTest)
#include "log_edit_test.moc"
