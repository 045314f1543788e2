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

#include <map>
#include <memory>

#include "core/sequence/seq_url.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/url_edit.h"

using namespace pelldra;

namespace {

// The marks as "12:b 003:R": R / r strong / light lower mark, B / b strong / light upper mark, '?' a mark in another
// colour or not both bold and underlined.
QString Spans(const CUrlEdit& edit)
{
    const QTextBlock block = edit.document()->firstBlock();
    std::map<int, QString> spans;
    for (const QTextLayout::FormatRange& r : block.layout()->formats()) {
        const QColor c = r.format.foreground().color();
        const char* code = c == CUrlEdit::kLowerStrong   ? "R"
                           : c == CUrlEdit::kLowerLight  ? "r"
                           : c == CUrlEdit::kUpperStrong ? "B"
                           : c == CUrlEdit::kUpperLight  ? "b"
                                                         : "?";
        if (r.format.fontWeight() != QFont::Bold || !r.format.fontUnderline())
            code = "?";
        spans[r.start] = block.text().mid(r.start, r.length) + QLatin1Char(':') + QLatin1String(code);
    }
    QStringList out;
    for (const auto& span : spans)
        out << span.second;
    return out.join(QLatin1Char(' '));
}

} // namespace

class UrlEditTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
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

    void cleanup()
    {
        delete m_window;
        delete m_url;
        delete m_messages;
    }

    void typingMarksTheRunsInTheirColours()
    {
        QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);
        const QString url = QStringLiteral("http://a.example/x12/y003.jpg");
        Type(url);
        QCOMPARE(QString::fromStdString(m_url->GetText()), url);
        QCOMPARE(m_url->GetFieldText(0), std::string("003"));
        QCOMPARE(m_url->GetFieldText(1), std::string("12"));
        QCOMPARE(changed.count(), url.size()); // one notification per typed character
        const struct
        {
            bool upper;
            int selected;
            const char* spans;
        } cases[] = {{false, 0, "003:R"}, {true, 0, "12:b 003:R"}, {true, 1, "12:B 003:r"}};
        for (const auto& c : cases) {
            SetUpper(c.upper, c.selected);
            QCOMPARE(Spans(*m_edit), QString::fromUtf8(c.spans));
        }
        // Byte positions of the URL object must land on the right characters of the box. The text arrives as an
        // input method would deliver it (key clicks carry Latin-1 only).
        m_edit->selectAll();
        m_edit->textCursor().insertText(QStringLiteral("http://a.example/写真12/画像003.jpg"));
        SetUpper(true);
        QCOMPARE(Spans(*m_edit), QStringLiteral("12:b 003:R"));
        QVERIFY(m_messages->Messages().empty());
    }

    void arrowsMoveTheMarks()
    {
        // Entered at once, as a paste: the upper mark goes to the run next to the lower one.
        m_edit->textCursor().insertText(QStringLiteral("http://h1.example/a5/b67/c890.png"));
        SetUpper(true);
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
        // Marks moved by the window are no edit: the text is untouched.
        QCOMPARE(m_edit->Text(), QStringLiteral("http://h1.example/a5/b67/c890.png"));
    }

    void typingOverTheFieldWidensItAndEnterAddsNoLine()
    {
        Type(QStringLiteral("http://a.example/img05.jpg"));
        QCOMPARE(Spans(*m_edit), QStringLiteral("05:R"));
        SelectText(QStringLiteral("05"));
        Type(QStringLiteral("1"));
        QCOMPARE(Spans(*m_edit), QStringLiteral("1:R"));
        Type(QStringLiteral("23"));
        QCOMPARE(Spans(*m_edit), QStringLiteral("123:R"));
        QCOMPARE(m_url->GetFieldText(0), std::string("123"));
        // Enter is left to the dialog.
        QTest::keyClick(m_edit, Qt::Key_Return);
        QTest::keyClick(m_edit, Qt::Key_Enter, Qt::ShiftModifier);
        QCOMPARE(m_edit->document()->blockCount(), 1);
        QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/img123.jpg"));
    }

    void deletingAllClearsTheMarks()
    {
        Type(QStringLiteral("http://a.example/1/2.jpg"));
        SetUpper(true);
        QCOMPARE(Spans(*m_edit), QStringLiteral("1:b 2:R"));
        m_edit->selectAll();
        QTest::keyClick(m_edit, Qt::Key_Delete);
        QVERIFY(m_url->IsFieldEmpty(0));
        QVERIFY(m_url->IsFieldEmpty(1));
        QCOMPARE(Spans(*m_edit), QString());
        Type(QStringLiteral("abc"));
        QCOMPARE(Spans(*m_edit), QString()); // typed text takes no left-over colour
    }

    void pastingTakesPlainFirstLine()
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

    void starIsRefused_data()
    {
        QTest::addColumn<bool>("paste");
        QTest::newRow("typed") << false;
        QTest::newRow("pasted") << true;
    }

    void starIsRefused()
    {
        QFETCH(bool, paste);
        Type(QStringLiteral("http://a.example/x12/y003.jpg"));
        SetUpper(true);
        const QString before = m_edit->Text();
        const int caret = static_cast<int>(before.indexOf(QStringLiteral("y003")));
        QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);
        QTextCursor c = m_edit->textCursor();
        c.setPosition(caret);
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
        QCOMPARE(m_edit->textCursor().position(), caret); // the caret stays where the user was typing
        QTest::qWait(20);
        QCOMPARE(m_messages->Messages().size(), size_t(1)); // once, not again for the revert
        Type(QStringLiteral("z"));
        QCOMPARE(m_url->GetText(), std::string("http://a.example/x12/zy003.jpg"));
    }

    void loadedTextKeepsItsMarksAndAStarCanBeCleaned()
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

        // A stored template whose second '*' had no digits leaves a '*' in the object's text; it can be removed, and
        // the box does not snap back to the starred text.
        m_url->SetUpperEnabled(false);
        m_url->LoadFromItem("http://a.example/*/b*.jpg", "", "7", "", 0);
        m_edit->ShowSeqUrlText();
        QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/*/b7.jpg"));
        QTextCursor c = m_edit->textCursor();
        c.setPosition(static_cast<int>(m_edit->Text().indexOf(QLatin1Char('*'))) + 1);
        m_edit->setTextCursor(c);
        QTest::keyClick(m_edit, Qt::Key_Backspace);
        QCOMPARE(m_url->GetText(), std::string("http://a.example//b7.jpg"));
        QCOMPARE(Spans(*m_edit), QStringLiteral("7:R"));
        QVERIFY(m_messages->Messages().empty());
    }

    void refererBoxFollowsTheMainUrl()
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

    void editMenu()
    {
        Type(QStringLiteral("http://a.example/12.jpg"));
        QSignalSpy changed(m_edit, &CUrlEdit::UrlChanged);
        QApplication::clipboard()->setText(QStringLiteral("77"));
        // Triggers the menu's action `index` (cut, copy, paste, delete); returns each action as "text:enabled".
        const auto use = [this](int index) {
            std::unique_ptr<QMenu> menu(m_edit->CreateEditMenu());
            QStringList actions;
            for (QAction* a : menu->actions())
                actions << a->text() + (a->isEnabled() ? QStringLiteral(":1") : QStringLiteral(":0"));
            if (index >= 0)
                menu->actions().at(index)->trigger();
            return actions;
        };
        // Nothing selected: only paste can act.
        QCOMPARE(use(-1).join(QLatin1Char(' ')), QStringLiteral("切り取り:0 コピー:0 貼り付け:1 削除:0"));

        // Cut "12", paste "77" in its place: each edit through the menu is a change like typing.
        SelectText(QStringLiteral("12"));
        use(0);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
        QCOMPARE(m_edit->Text(), QStringLiteral("http://a.example/.jpg"));
        QVERIFY(m_url->IsFieldEmpty(0));
        QApplication::clipboard()->setText(QStringLiteral("77"));
        use(2);
        QCOMPARE(m_url->GetText(), std::string("http://a.example/77.jpg"));
        QCOMPARE(Spans(*m_edit), QStringLiteral("77:R"));
        // Delete removes the selection without touching the clipboard.
        m_edit->selectAll();
        use(3);
        QCOMPARE(m_edit->Text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("77"));
        QCOMPARE(changed.count(), 3);

        // A right click moves the caret to the clicked place.
        Type(QStringLiteral("http://a.example/5.jpg"));
        const QPoint start = m_edit->cursorRect(QTextCursor(m_edit->document())).center() + QPoint(1, 0);
        QTest::mousePress(m_edit->viewport(), Qt::RightButton, {}, start);
        QCOMPARE(m_edit->textCursor().position(), 0);
        QTest::mouseRelease(m_edit->viewport(), Qt::RightButton, {}, start);
    }

    void longUrlStaysFast()
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
        QCOMPARE(Spans(*m_edit), QStringLiteral("0123456789").repeated(10) + QStringLiteral(":R"));
    }

private:
    void Type(const QString& text) { QTest::keyClicks(m_edit, text); }
    void SetUpper(bool on, int selected = 0)
    {
        m_url->SetUpperEnabled(on);
        m_url->SetSelectedField(selected);
        m_url->Refresh();
        m_edit->Highlight();
    }
    void SelectText(const QString& part)
    {
        const int at = static_cast<int>(m_edit->Text().indexOf(part));
        QTextCursor c = m_edit->textCursor();
        c.setPosition(at);
        c.setPosition(at + static_cast<int>(part.size()), QTextCursor::KeepAnchor);
        m_edit->setTextCursor(c);
    }

    QWidget* m_window = nullptr;
    CUrlEdit* m_edit = nullptr;
    CSeqUrl* m_url = nullptr;
    MessageHook* m_messages = nullptr;
};

QTEST_MAIN(UrlEditTest)
#include "url_edit_test.moc"
