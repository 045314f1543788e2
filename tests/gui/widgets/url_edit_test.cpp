// Tests of the URL box: marks drawn while typing and pasting, the strong and light colours, the '*' refusal, the
// edit menu, and that redrawing stays fast for long URLs.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

#include <ctime>
#include <map>
#include <memory>
#include <tuple>

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
        messages_.Clear();
        url_ = new CSeqUrl;
        window_ = new QWidget;
        auto* layout = new QVBoxLayout(window_);
        edit_ = new CUrlEdit(window_);
        layout->addWidget(edit_);
        edit_->Attach(url_);
        window_->resize(500, 60);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
        edit_->setFocus();
    }

    void cleanup()
    {
        delete window_;
        delete url_;
        QCOMPARE(messages_.Texts(), QStringList()); // a message no test waits for fails its test
    }

    void typingMarksTheRunsInTheirColoursAndEditsRedrawThem()
    {
        QSignalSpy changed(edit_, &CUrlEdit::UrlChanged);
        const QString url = QStringLiteral("http://a.example/x12/y003.jpg");
        Type(url);
        QCOMPARE(QString::fromStdString(url_->GetText()), url);
        QCOMPARE(changed.count(), url.size()); // one notification per typed character
        // Upper mark on, the field selected, the marks drawn.
        const std::tuple<bool, int, const char*> cases[] = {
            {false, 0, "003:R"}, {true, 0, "12:b 003:R"}, {true, 1, "12:B 003:r"}};
        for (const auto& [upper, selected, spans] : cases) {
            SetUpper(upper, selected);
            QCOMPARE(Spans(*edit_), QString::fromUtf8(spans));
        }
        // Byte positions of the URL object must land on the right characters of the box. The text arrives as an
        // input method would deliver it (key clicks carry Latin-1 only).
        edit_->selectAll();
        edit_->textCursor().insertText(QStringLiteral("http://a.example/写真12/画像003.jpg"));
        SetUpper(true);
        QCOMPARE(Spans(*edit_), QStringLiteral("12:b 003:R"));
        // Replacing the field or all redraws; Enter is left to the dialog.
        SelectText(QStringLiteral("003"));
        Type(QStringLiteral("123"));
        QCOMPARE(Spans(*edit_), QStringLiteral("12:b 123:R"));
        QTest::keyClick(edit_, Qt::Key_Return);
        QTest::keyClick(edit_, Qt::Key_Enter, Qt::ShiftModifier);
        QCOMPARE(edit_->Text(), QStringLiteral("http://a.example/写真12/画像123.jpg"));
        edit_->selectAll();
        QTest::keyClick(edit_, Qt::Key_Delete);
        Type(QStringLiteral("abc"));
        QCOMPARE(Spans(*edit_), QString()); // typed text takes no left-over colour
    }

    void pastingTakesPlainFirstLine()
    {
        QSignalSpy changed(edit_, &CUrlEdit::UrlChanged);
        auto* mime = new QMimeData;
        mime->setText(QStringLiteral("\r\nhttp://a.example/p/9.gif\r\nsecond line"));
        mime->setHtml(QStringLiteral("<b style='color:#00ff00'>http://a.example/p/9.gif</b>"));
        QApplication::clipboard()->setMimeData(mime);
        QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit_->Text(), QStringLiteral("http://a.example/p/9.gif"));
        QCOMPARE(Spans(*edit_), QStringLiteral("9:R"));
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
        const QString before = edit_->Text();
        const int caret = static_cast<int>(before.indexOf(QStringLiteral("y003")));
        QSignalSpy changed(edit_, &CUrlEdit::UrlChanged);
        QTextCursor c = edit_->textCursor();
        c.setPosition(caret);
        edit_->setTextCursor(c);
        if (paste) {
            QApplication::clipboard()->setText(QStringLiteral("a*b"));
            QTest::keyClick(edit_, Qt::Key_V, Qt::ControlModifier);
        } else {
            Type(QStringLiteral("*"));
        }

        QTRY_COMPARE(messages_.Texts(), QStringList{QStringLiteral("ＵＲＬに＊は使えません")});
        QCOMPARE(messages_.Last()->icon, MessageIcon::Stop);
        QCOMPARE(edit_->Text(), before);
        QCOMPARE(QString::fromStdString(url_->GetText()), before);
        QCOMPARE(Spans(*edit_), QStringLiteral("12:b 003:R"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(edit_->textCursor().position(), caret); // the caret stays where the user was typing
        QTest::qWait(20);
        QCOMPARE(messages_.Messages().size(), size_t(1)); // once, not again for the revert
        messages_.Clear();
        Type(QStringLiteral("z"));
        QCOMPARE(url_->GetText(), std::string("http://a.example/x12/zy003.jpg"));
    }

    void loadedTextKeepsItsMarksAndAStarCanBeCleaned()
    {
        QSignalSpy changed(edit_, &CUrlEdit::UrlChanged);
        url_->SetUpperEnabled(true);
        url_->LoadFromItem("http://a.example/v*/p1*.jpg", "", "05", "3", 0);
        edit_->ShowSeqUrlText();
        QCOMPARE(edit_->Text(), QStringLiteral("http://a.example/v3/p105.jpg"));
        QCOMPARE(edit_->textCursor().position(), 0);
        QCOMPARE(Spans(*edit_), QStringLiteral("3:b 05:R"));
        QCOMPARE(changed.count(), 1);

        // A stored template whose second '*' had no digits leaves a '*' in the object's text; it can be removed, and
        // the box does not snap back to the starred text.
        url_->SetUpperEnabled(false);
        url_->LoadFromItem("http://a.example/*/b*.jpg", "", "7", "", 0);
        edit_->ShowSeqUrlText();
        QCOMPARE(edit_->Text(), QStringLiteral("http://a.example/*/b7.jpg"));
        QTextCursor c = edit_->textCursor();
        c.setPosition(static_cast<int>(edit_->Text().indexOf(QLatin1Char('*'))) + 1);
        edit_->setTextCursor(c);
        QTest::keyClick(edit_, Qt::Key_Backspace);
        QCOMPARE(url_->GetText(), std::string("http://a.example//b7.jpg"));
        QCOMPARE(Spans(*edit_), QStringLiteral("7:R"));
    }

    void editMenuActsLikeTypingAndRightClickPlacesTheCaret()
    {
        Type(QStringLiteral("http://a.example/12.jpg"));
        QSignalSpy changed(edit_, &CUrlEdit::UrlChanged);
        QApplication::clipboard()->setText(QStringLiteral("77"));
        // Triggers the menu's action `index` (cut, copy, paste, delete); returns which actions were enabled.
        const auto use = [this](int index) {
            std::unique_ptr<QMenu> menu(edit_->CreateEditMenu());
            QString enabled;
            for (QAction* a : menu->actions())
                enabled += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
            if (index >= 0)
                menu->actions().at(index)->trigger();
            return enabled;
        };
        QCOMPARE(use(-1), QStringLiteral("0010")); // nothing selected: only paste can act
        SelectText(QStringLiteral("12"));
        QCOMPARE(use(0), QStringLiteral("1111"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
        QCOMPARE(url_->GetText(), std::string("http://a.example/.jpg"));
        // Delete removes the selection without touching the clipboard.
        edit_->selectAll();
        use(3);
        QCOMPARE(url_->GetText(), std::string());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
        QCOMPARE(changed.count(), 2);

        Type(QStringLiteral("http://a.example/5.jpg"));
        const QPoint start = edit_->cursorRect(QTextCursor(edit_->document())).center() + QPoint(1, 0);
        QTest::mousePress(edit_->viewport(), Qt::RightButton, {}, start);
        QCOMPARE(edit_->textCursor().position(), 0);
        QTest::mouseRelease(edit_->viewport(), Qt::RightButton, {}, start);
    }

    void longUrlStaysFast()
    {
        // Typing into a long URL with many runs, against a plain text box typed the same way. Laying out the long line
        // is the box's own cost; the marks must not add layouts or work that grows faster than the text.
        QString url = QStringLiteral("http://a.example/");
        for (int i = 0; i < 1500; ++i)
            url += QStringLiteral("d%1/").arg(i);
        // CPU time of this thread, so that other work on a busy machine does not count against either box.
        const auto cpuMs = [] {
            timespec t{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
        };
        auto typeInto = [&url, &cpuMs](QTextEdit* edit) {
            edit->setPlainText(url);
            edit->moveCursor(QTextCursor::End);
            const qint64 start = cpuMs();
            for (int i = 0; i < 100; ++i)
                QTest::keyClick(edit, static_cast<Qt::Key>(Qt::Key_0 + i % 10));
            return cpuMs() - start;
        };
        auto* plain = new QTextEdit(window_);
        plain->setLineWrapMode(QTextEdit::NoWrap);
        window_->layout()->addWidget(plain);
        const qint64 plainMs = typeInto(plain);
        const qint64 ms = typeInto(edit_);
        QVERIFY2(ms < 2 * plainMs + 100, qPrintable(QStringLiteral("%1 ms against %2 ms").arg(ms).arg(plainMs)));
        QCOMPARE(Spans(*edit_), QStringLiteral("0123456789").repeated(10) + QStringLiteral(":R"));
    }

private:
    void Type(const QString& text) { QTest::keyClicks(edit_, text); }
    void SetUpper(bool on, int selected = 0)
    {
        url_->SetUpperEnabled(on);
        url_->SetSelectedField(selected);
        url_->Refresh();
        edit_->Highlight();
    }
    void SelectText(const QString& part)
    {
        const int at = static_cast<int>(edit_->Text().indexOf(part));
        QTextCursor c = edit_->textCursor();
        c.setPosition(at);
        c.setPosition(at + static_cast<int>(part.size()), QTextCursor::KeepAnchor);
        edit_->setTextCursor(c);
    }

    QWidget* window_ = nullptr;
    CUrlEdit* edit_ = nullptr;
    CSeqUrl* url_ = nullptr;
    MessageHook messages_;
};

QTEST_MAIN(UrlEditTest)
#include "url_edit_test.moc"
