// Tests of the URL box: marks drawn while typing and pasting, the strong and light colours, the '*' refusal, the
// edit menu, and that redrawing stays fast for long URLs.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

#include <memory>

#include "core/sequence/seq_url.h"
#include "gui/platform/message_box.h"
#include "gui/queue/url_edit.h"

using namespace pelldra;

namespace {

// One character per character of the box: R / r strong / light lower mark, B / b strong / light upper mark, '.' none,
// '?' a coloured character that is not both bold and underlined.
QString MarksOf(const CUrlEdit& edit)
{
    const QTextBlock block = edit.document()->firstBlock();
    QString marks(block.length() - 1, QLatin1Char('.'));
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        const QColor colour = range.format.foreground().color();
        QChar c = QLatin1Char('?');
        if (colour == CUrlEdit::kLowerStrong)
            c = QLatin1Char('R');
        else if (colour == CUrlEdit::kLowerLight)
            c = QLatin1Char('r');
        else if (colour == CUrlEdit::kUpperStrong)
            c = QLatin1Char('B');
        else if (colour == CUrlEdit::kUpperLight)
            c = QLatin1Char('b');
        if (range.format.fontWeight() != QFont::Bold || !range.format.fontUnderline())
            c = QLatin1Char('?');
        for (int i = range.start; i < range.start + range.length && i < marks.size(); ++i)
            marks[i] = c;
    }
    return marks;
}

// The marks as spans of the text: "003:R 12:b" is easier to read than a row of dots.
QString Spans(const CUrlEdit& edit)
{
    const QString text = edit.Text();
    const QString marks = MarksOf(edit);
    QStringList out;
    for (int i = 0; i < marks.size();) {
        if (marks[i] == QLatin1Char('.')) {
            ++i;
            continue;
        }
        int j = i;
        while (j < marks.size() && marks[j] == marks[i])
            ++j;
        out << text.mid(i, j - i) + QLatin1Char(':') + marks[i];
        i = j;
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class UrlEditTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void typingMarksTheLastRun();
    void upperFieldColours_data();
    void upperFieldColours();
    void arrowsMoveTheMarks();
    void typingNextToTheFieldWidensIt();
    void multibyteTextKeepsMarksOnTheDigits();
    void deletingAllClearsTheMarks();
    void pastingTakesPlainFirstLine();
    void starIsRefused_data();
    void starIsRefused();
    void programTextWithStarCanBeCleaned();
    void showSeqUrlTextKeepsLoadedMarks();
    void refererBoxFollowsTheMainUrl();
    void editMenu();
    void enterIsLeftToTheDialog();
    void longUrlStaysFast();

private:
    void Type(const QString& text) { QTest::keyClicks(m_edit, text); }

    QWidget* m_window = nullptr;
    CUrlEdit* m_edit = nullptr;
    CSeqUrl* m_url = nullptr;
    MessageHook* m_messages = nullptr;
};

void UrlEditTest::init()
{
    m_messages = new MessageHook;
    m_url = new CSeqUrl;
    m_window = new QWidget;
    auto* layout = new QVBoxLayout(m_window);
    m_edit = new CUrlEdit(m_window);
    layout->addWidget(m_edit);
    m_edit->Attach(m_url);
    m_window->resize(500, 60);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_edit->setFocus();
}

void UrlEditTest::cleanup()
{
    delete m_window;
    delete m_url;
    delete m_messages;
}

void UrlEditTest::typingMarksTheLastRun()
{
    QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);
    Type(QStringLiteral("http://a.example/x12/y003.jpg"));
    QCOMPARE(QString::fromStdString(m_url->GetText()), QStringLiteral("http://a.example/x12/y003.jpg"));
    QCOMPARE(m_url->GetFieldText(0), std::string("003"));
    QCOMPARE(m_url->GetFieldText(1), std::string("12"));
    // The upper string is not in use, so only the lower one is drawn, strong.
    QCOMPARE(Spans(*m_edit), QStringLiteral("003:R"));
    QCOMPARE(changed.count(), m_edit->Text().size()); // one notification per typed character
    QVERIFY(m_messages->Messages().empty());
}

void UrlEditTest::upperFieldColours_data()
{
    QTest::addColumn<bool>("upper");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("spans");
    QTest::newRow("upper off") << false << 0 << "003:R";
    QTest::newRow("upper on, lower selected") << true << 0 << "12:b 003:R";
    QTest::newRow("upper on, upper selected") << true << 1 << "12:B 003:r";
}

void UrlEditTest::upperFieldColours()
{
    QFETCH(bool, upper);
    QFETCH(int, selected);
    QFETCH(QString, spans);
    Type(QStringLiteral("http://a.example/x12/y003.jpg"));
    m_url->SetUpperEnabled(upper);
    m_url->SetSelectedField(selected);
    m_url->Refresh();
    m_edit->Highlight();
    QCOMPARE(Spans(*m_edit), spans);
}

void UrlEditTest::arrowsMoveTheMarks()
{
    // Entered at once, as a paste: the upper mark goes to the run next to the lower one.
    m_edit->textCursor().insertText(QStringLiteral("http://h1.example/a5/b67/c890.png"));
    m_url->SetUpperEnabled(true);
    m_url->Refresh();
    m_edit->Highlight();
    QCOMPARE(Spans(*m_edit), QStringLiteral("67:b 890:R"));

    struct
    {
        void (CSeqUrl::*move)();
        int field;
        const char* spans;
    } const steps[] = {
        // Moving the lower mark left pushes the upper one to the run left of it.
        {&CSeqUrl::SelectPrevRun, 0, "5:b 67:R"},   {&CSeqUrl::SelectNextRun, 0, "5:b 890:R"},
        {&CSeqUrl::SelectNextRun, 1, "67:B 890:r"}, {&CSeqUrl::SelectPrevRun, 1, "5:B 890:r"},
        {&CSeqUrl::SelectPrevRun, 1, "1:B 890:r"},
    };
    for (const auto& step : steps) {
        m_url->SetSelectedField(step.field);
        (m_url->*step.move)();
        m_edit->Highlight();
        QCOMPARE(Spans(*m_edit), QString::fromUtf8(step.spans));
    }
    // Marks moved by the window are no edit: the text and the undo history are untouched.
    QCOMPARE(m_edit->Text(), QStringLiteral("http://h1.example/a5/b67/c890.png"));
}

void UrlEditTest::typingNextToTheFieldWidensIt()
{
    Type(QStringLiteral("http://a.example/img05.jpg"));
    QCOMPARE(Spans(*m_edit), QStringLiteral("05:R"));
    // Select the digits and type over them with one digit more.
    QTextCursor c = m_edit->textCursor();
    const int at = static_cast<int>(m_edit->Text().indexOf(QStringLiteral("05")));
    c.setPosition(at);
    c.setPosition(at + 2, QTextCursor::KeepAnchor);
    m_edit->setTextCursor(c);
    Type(QStringLiteral("1"));
    QCOMPARE(Spans(*m_edit), QStringLiteral("1:R"));
    Type(QStringLiteral("23"));
    QCOMPARE(Spans(*m_edit), QStringLiteral("123:R"));
    QCOMPARE(m_url->GetFieldText(0), std::string("123"));
}

void UrlEditTest::multibyteTextKeepsMarksOnTheDigits()
{
    // Byte positions of the URL object must land on the right characters of the box. The text arrives as an input
    // method would deliver it (key clicks carry Latin-1 only).
    m_edit->textCursor().insertText(QStringLiteral("http://a.example/写真12/画像003.jpg"));
    m_url->SetUpperEnabled(true);
    m_url->Refresh();
    m_edit->Highlight();
    QCOMPARE(Spans(*m_edit), QStringLiteral("12:b 003:R"));
}

void UrlEditTest::deletingAllClearsTheMarks()
{
    Type(QStringLiteral("http://a.example/1/2.jpg"));
    m_url->SetUpperEnabled(true);
    m_url->Refresh();
    m_edit->Highlight();
    QCOMPARE(Spans(*m_edit), QStringLiteral("1:b 2:R"));
    m_edit->selectAll();
    QTest::keyClick(m_edit, Qt::Key_Delete);
    QCOMPARE(m_edit->Text(), QString());
    QVERIFY(m_url->IsFieldEmpty(0));
    QVERIFY(m_url->IsFieldEmpty(1));
    QCOMPARE(MarksOf(*m_edit), QString());
    Type(QStringLiteral("abc"));
    QCOMPARE(MarksOf(*m_edit), QStringLiteral("...")); // typed text takes no left-over colour
}

void UrlEditTest::pastingTakesPlainFirstLine()
{
    QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);
    auto* mime = new QMimeData;
    mime->setText(QStringLiteral("\r\nhttp://a.example/p/9.gif\r\nsecond line"));
    mime->setHtml(QStringLiteral("<b style='color:#00ff00'>http://a.example/p/9.gif</b>"));
    QApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(m_edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/p/9.gif"));
    QCOMPARE(m_url->GetText(), std::string("http://a.example/p/9.gif"));
    QCOMPARE(Spans(*m_edit), QStringLiteral("9:R"));
    QCOMPARE(changed.count(), 1);
}

void UrlEditTest::starIsRefused_data()
{
    QTest::addColumn<bool>("paste");
    QTest::newRow("typed") << false;
    QTest::newRow("pasted") << true;
}

void UrlEditTest::starIsRefused()
{
    QFETCH(bool, paste);
    Type(QStringLiteral("http://a.example/x12/y003.jpg"));
    m_url->SetUpperEnabled(true);
    m_url->Refresh();
    m_edit->Highlight();
    const QString before = m_edit->Text();
    QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);

    // Put the caret after "x12/" and insert there.
    QTextCursor c = m_edit->textCursor();
    c.setPosition(static_cast<int>(before.indexOf(QStringLiteral("y003"))));
    m_edit->setTextCursor(c);
    if (paste) {
        QApplication::clipboard()->setText(QStringLiteral("a*b"));
        QTest::keyClick(m_edit, Qt::Key_V, Qt::ControlModifier);
    } else {
        Type(QStringLiteral("*"));
    }

    QTRY_COMPARE(m_messages->Texts(), QStringList{QStringLiteral("ＵＲＬに＊は使えません")});
    QCOMPARE(m_messages->Last()->icon, MessageIcon::Stop);
    QCOMPARE(m_edit->Text(), before);
    QCOMPARE(QString::fromStdString(m_url->GetText()), before);
    QCOMPARE(Spans(*m_edit), QStringLiteral("12:b 003:R"));
    QCOMPARE(changed.count(), 0);
    // The caret stays where the user was typing.
    QCOMPARE(m_edit->textCursor().position(), static_cast<int>(before.indexOf(QStringLiteral("y003"))));
    QTest::qWait(20);
    QCOMPARE(m_messages->Messages().size(), size_t(1)); // once, not again for the revert

    // The box goes on working.
    Type(QStringLiteral("z"));
    QCOMPARE(m_url->GetText(), std::string("http://a.example/x12/zy003.jpg"));
}

void UrlEditTest::programTextWithStarCanBeCleaned()
{
    // A stored template whose second '*' had no digits leaves a '*' in the object's text.
    m_url->LoadFromItem("http://a.example/*/b*.jpg", "", "7", "", 0);
    m_edit->ShowSeqUrlText();
    QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/*/b7.jpg"));
    QVERIFY(m_messages->Messages().empty());
    // Removing the star is possible; the box does not snap back to the starred text.
    QTextCursor c = m_edit->textCursor();
    c.setPosition(static_cast<int>(m_edit->Text().indexOf(QLatin1Char('*'))) + 1);
    m_edit->setTextCursor(c);
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example//b7.jpg"));
    QCOMPARE(m_url->GetText(), std::string("http://a.example//b7.jpg"));
    QCOMPARE(Spans(*m_edit), QStringLiteral("7:R"));
}

void UrlEditTest::showSeqUrlTextKeepsLoadedMarks()
{
    QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);
    m_url->SetUpperEnabled(true);
    m_url->LoadFromItem("http://a.example/v*/p1*.jpg", "", "05", "3", 0);
    m_edit->ShowSeqUrlText();
    QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/v3/p105.jpg"));
    QCOMPARE(m_edit->textCursor().position(), 0);
    QCOMPARE(Spans(*m_edit), QStringLiteral("3:b 05:R"));
    QCOMPARE(m_url->GetFieldText(0), std::string("05"));
    QCOMPARE(changed.count(), 1);
}

void UrlEditTest::refererBoxFollowsTheMainUrl()
{
    // The detail dialog's box: its object marks where the main URL's digits occur and shares its settings.
    Type(QStringLiteral("http://a.example/g12/p003.jpg"));
    CSeqUrl referer;
    QVERIFY(referer.SetMaster(m_url));
    m_url->SetSyncFlags(3);
    m_url->SetUpperEnabled(true);
    m_url->SetSelectedField(1);
    auto* box = new CUrlEdit(m_window);
    m_window->layout()->addWidget(box);
    box->Attach(&referer);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("http://a.example/list12.html?from=003"));
    QCOMPARE(Spans(*box), QStringLiteral("12:B 003:r"));
    box->Attach(nullptr); // the object goes before the box
}

void UrlEditTest::editMenu()
{
    Type(QStringLiteral("http://a.example/12.jpg"));
    QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);

    // Nothing selected: only paste can act.
    QApplication::clipboard()->setText(QStringLiteral("77"));
    std::unique_ptr<QMenu> menu(m_edit->CreateEditMenu());
    QStringList texts;
    QList<bool> enabled;
    for (QAction* a : menu->actions()) {
        texts << a->text();
        enabled << a->isEnabled();
    }
    QCOMPARE(texts, (QStringList{QStringLiteral("切り取り"), QStringLiteral("コピー"), QStringLiteral("貼り付け"),
                                 QStringLiteral("削除")}));
    QCOMPARE(enabled, (QList<bool>{false, false, true, false}));

    // Select "12", cut it, paste "77" in its place: each edit through the menu is a change like typing.
    const int at = static_cast<int>(m_edit->Text().indexOf(QStringLiteral("12")));
    QTextCursor c = m_edit->textCursor();
    c.setPosition(at);
    c.setPosition(at + 2, QTextCursor::KeepAnchor);
    m_edit->setTextCursor(c);
    menu.reset(m_edit->CreateEditMenu());
    menu->actions().at(0)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
    QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/.jpg"));
    QVERIFY(m_url->IsFieldEmpty(0));
    QApplication::clipboard()->setText(QStringLiteral("77"));
    menu.reset(m_edit->CreateEditMenu());
    menu->actions().at(2)->trigger();
    QCOMPARE(m_url->GetText(), std::string("http://a.example/77.jpg"));
    QCOMPARE(Spans(*m_edit), QStringLiteral("77:R"));

    // Delete removes the selection without touching the clipboard.
    m_edit->selectAll();
    menu.reset(m_edit->CreateEditMenu());
    menu->actions().at(3)->trigger();
    QCOMPARE(m_edit->Text(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("77"));
    QCOMPARE(changed.count(), 3);

    // A right click moves the caret to the clicked place.
    Type(QStringLiteral("http://a.example/5.jpg"));
    m_edit->moveCursor(QTextCursor::End);
    const QRect start = m_edit->cursorRect(QTextCursor(m_edit->document()));
    QTest::mousePress(m_edit->viewport(), Qt::RightButton, {}, start.center() + QPoint(1, 0));
    QCOMPARE(m_edit->textCursor().position(), 0);
    QTest::mouseRelease(m_edit->viewport(), Qt::RightButton, {}, start.center() + QPoint(1, 0));
}

void UrlEditTest::enterIsLeftToTheDialog()
{
    Type(QStringLiteral("http://a.example/1.jpg"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QTest::keyClick(m_edit, Qt::Key_Enter, Qt::ShiftModifier);
    QCOMPARE(m_edit->document()->blockCount(), 1);
    QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/1.jpg"));
}

void UrlEditTest::longUrlStaysFast()
{
    // Typing into a long URL with many runs, against a plain text box typed the same way. Laying out the long line
    // is the box's own cost; the marks must not add layouts or work that grows faster than the text.
    QString url = QStringLiteral("http://a.example/");
    for (int i = 0; i < 1500; ++i)
        url += QStringLiteral("d%1/").arg(i);
    auto typeInto = [&url](QTextEdit* edit) {
        edit->setPlainText(url);
        edit->moveCursor(QTextCursor::End);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100; ++i)
            QTest::keyClick(edit, static_cast<Qt::Key>(Qt::Key_0 + i % 10));
        return timer.elapsed();
    };
    auto* plain = new QTextEdit(m_window);
    plain->setLineWrapMode(QTextEdit::NoWrap);
    m_window->layout()->addWidget(plain);
    const qint64 plainMs = typeInto(plain);
    const qint64 ms = typeInto(m_edit);
    qInfo("100 keystrokes on a %d-character URL: %lld ms (a plain box: %lld ms)", static_cast<int>(url.size()), ms,
          plainMs);
    QVERIFY2(ms < 2 * plainMs + 300, qPrintable(QStringLiteral("%1 ms against %2 ms").arg(ms).arg(plainMs)));
    QCOMPARE(m_url->GetFieldLength(0), 100);
    QCOMPARE(MarksOf(*m_edit).count(QLatin1Char('R')), 100);
}

QTEST_MAIN(UrlEditTest)
#include "url_edit_test.moc"
