// Tests of the URL box (its marks, the '*' refusal, the edit menu, speed), the number box and its spins (the step
// arithmetic and the repeat's timing are the core's), the save-folder edit and the folder browser.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeView>
#include <QVBoxLayout>

#include <ctime>
#include <map>
#include <tuple>

#include "core/sequence/seq_url.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/repeat_spin.h"
#include "gui/widgets/url_edit.h"
#include "support/temp_env.h"

namespace pelldra {

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

void TypeAndOk(CFolderBrowser& browser, const QString& typed)
{
    browser.NameEdit()->setText(typed);
    for (QPushButton* b : browser.findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("OK"))
            return b->click();
    QFAIL("no OK button");
}

QString Question(const QString& at, const QString& name)
{
    return QString::fromUtf8(CFolderBrowser::kMakeQuestion).arg(at, name);
}

} // namespace

class WidgetsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        hook_.Clear();
        env_ = std::make_unique<test::TempEnv>();
        url_ = std::make_unique<CSeqUrl>();
        window_ = std::make_unique<QWidget>();
        new QVBoxLayout(window_.get());
        edit_ = AddBox();
        spin_ = AddSpin(edit_);
        urlEdit_ = new CUrlEdit(window_.get());
        window_->layout()->addWidget(urlEdit_);
        urlEdit_->Attach(url_.get());
        window_->resize(500, 60);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        urlEdit_->setFocus();
    }
    void cleanup()
    {
        window_.reset();
        url_.reset();
        env_.reset();
        QCOMPARE(hook_.Texts(), QStringList()); // a message no test waits for fails its test instead of blocking it
    }

    void typingMarksTheRunsInTheirColoursAndEditsRedrawThem()
    {
        QSignalSpy changed(urlEdit_, &CUrlEdit::UrlChanged);
        const QString url = QStringLiteral("http://a.example/x12/y003.jpg");
        Type(url);
        QCOMPARE(QString::fromStdString(url_->GetText()), url);
        QCOMPARE(changed.count(), url.size()); // one notification per typed character
        // Upper mark on, the field selected, the marks drawn.
        const std::tuple<bool, int, const char*> cases[] = {
            {false, 0, "003:R"}, {true, 0, "12:b 003:R"}, {true, 1, "12:B 003:r"}};
        for (const auto& [upper, selected, spans] : cases) {
            SetUpper(upper, selected);
            QCOMPARE(Spans(*urlEdit_), QString::fromUtf8(spans));
        }
        // Byte positions of the URL object must land on the right characters of the box. The text arrives as an
        // input method would deliver it (key clicks carry Latin-1 only).
        urlEdit_->selectAll();
        urlEdit_->textCursor().insertText(QStringLiteral("http://a.example/写真12/画像003.jpg"));
        SetUpper(true);
        QCOMPARE(Spans(*urlEdit_), QStringLiteral("12:b 003:R"));
        // Replacing the field or all redraws; Enter is left to the dialog.
        SelectText(QStringLiteral("003"));
        Type(QStringLiteral("123"));
        QCOMPARE(Spans(*urlEdit_), QStringLiteral("12:b 123:R"));
        QTest::keyClick(urlEdit_, Qt::Key_Return);
        QTest::keyClick(urlEdit_, Qt::Key_Enter, Qt::ShiftModifier);
        QCOMPARE(urlEdit_->Text(), QStringLiteral("http://a.example/写真12/画像123.jpg"));
        urlEdit_->selectAll();
        QTest::keyClick(urlEdit_, Qt::Key_Delete);
        Type(QStringLiteral("abc"));
        QCOMPARE(Spans(*urlEdit_), QString()); // typed text takes no left-over colour
    }

    void starIsRefusedTypedOrPasted()
    {
        for (const bool paste : {false, true}) {
            urlEdit_->clear();
            Type(QStringLiteral("http://a.example/x12/y003.jpg"));
            SetUpper(true);
            const QString before = urlEdit_->Text();
            const int caret = static_cast<int>(before.indexOf(QStringLiteral("y003")));
            QSignalSpy changed(urlEdit_, &CUrlEdit::UrlChanged);
            QTextCursor c = urlEdit_->textCursor();
            c.setPosition(caret);
            urlEdit_->setTextCursor(c);
            QApplication::clipboard()->setText(QStringLiteral("a*b"));
            paste ? QTest::keyClick(urlEdit_, Qt::Key_V, Qt::ControlModifier) : Type(QStringLiteral("*"));

            QTRY_COMPARE(hook_.Texts(), QStringList{QStringLiteral("ＵＲＬに＊は使えません")});
            QCOMPARE(hook_.Last()->icon, MessageIcon::Stop);
            QCOMPARE(urlEdit_->Text(), before);
            QCOMPARE(QString::fromStdString(url_->GetText()), before);
            QCOMPARE(Spans(*urlEdit_), QStringLiteral("12:b 003:R"));
            QCOMPARE(changed.count(), 0);
            QCOMPARE(urlEdit_->textCursor().position(), caret); // the caret stays where the user was typing
            QTest::qWait(20);
            QCOMPARE(hook_.Messages().size(), size_t(1)); // once, not again for the revert
            hook_.Clear();
            Type(QStringLiteral("z"));
            QCOMPARE(url_->GetText(), std::string("http://a.example/x12/zy003.jpg"));
        }
    }

    void loadedTextKeepsItsMarksAndAStarCanBeCleaned()
    {
        QSignalSpy changed(urlEdit_, &CUrlEdit::UrlChanged);
        url_->SetUpperEnabled(true);
        url_->LoadFromItem("http://a.example/v*/p1*.jpg", "", "05", "3", 0);
        urlEdit_->ShowSeqUrlText();
        QCOMPARE(urlEdit_->Text(), QStringLiteral("http://a.example/v3/p105.jpg"));
        QCOMPARE(urlEdit_->textCursor().position(), 0);
        QCOMPARE(Spans(*urlEdit_), QStringLiteral("3:b 05:R"));
        QCOMPARE(changed.count(), 1);

        // A stored template whose second '*' had no digits leaves a '*' in the object's text; it can be removed, and
        // the box does not snap back to the starred text.
        url_->SetUpperEnabled(false);
        url_->LoadFromItem("http://a.example/*/b*.jpg", "", "7", "", 0);
        urlEdit_->ShowSeqUrlText();
        QCOMPARE(urlEdit_->Text(), QStringLiteral("http://a.example/*/b7.jpg"));
        QTextCursor c = urlEdit_->textCursor();
        c.setPosition(static_cast<int>(urlEdit_->Text().indexOf(QLatin1Char('*'))) + 1);
        urlEdit_->setTextCursor(c);
        QTest::keyClick(urlEdit_, Qt::Key_Backspace);
        QCOMPARE(url_->GetText(), std::string("http://a.example//b7.jpg"));
        QCOMPARE(Spans(*urlEdit_), QStringLiteral("7:R"));
    }

    void pasteTakesPlainFirstLineEditMenuActsLikeTypingAndRightClickPlacesTheCaret()
    {
        QSignalSpy changed(urlEdit_, &CUrlEdit::UrlChanged);
        auto* mime = new QMimeData;
        mime->setText(QStringLiteral("\r\nhttp://a.example/12.jpg\r\nsecond line"));
        mime->setHtml(QStringLiteral("<b style='color:#00ff00'>http://a.example/12.jpg</b>"));
        QApplication::clipboard()->setMimeData(mime);
        QTest::keyClick(urlEdit_, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(urlEdit_->Text(), QStringLiteral("http://a.example/12.jpg"));
        QCOMPARE(Spans(*urlEdit_), QStringLiteral("12:R"));
        QCOMPARE(changed.count(), 1);
        // Triggers the menu's action `index` (cut, copy, paste, delete); returns which actions were enabled.
        const auto use = [this](int index) {
            std::unique_ptr<QMenu> menu(urlEdit_->CreateEditMenu());
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
        urlEdit_->selectAll();
        use(3);
        QCOMPARE(url_->GetText(), std::string());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("12"));
        QCOMPARE(changed.count(), 3);

        Type(QStringLiteral("http://a.example/5.jpg"));
        const QPoint start = urlEdit_->cursorRect(QTextCursor(urlEdit_->document())).center() + QPoint(1, 0);
        QTest::mousePress(urlEdit_->viewport(), Qt::RightButton, {}, start);
        QCOMPARE(urlEdit_->textCursor().position(), 0);
        QTest::mouseRelease(urlEdit_->viewport(), Qt::RightButton, {}, start);
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
        auto* plain = new QTextEdit(window_.get());
        plain->setLineWrapMode(QTextEdit::NoWrap);
        window_->layout()->addWidget(plain);
        const qint64 plainMs = typeInto(plain);
        const qint64 ms = typeInto(urlEdit_);
        QVERIFY2(ms < 2 * plainMs + 100, qPrintable(QStringLiteral("%1 ms against %2 ms").arg(ms).arg(plainMs)));
        QCOMPARE(Spans(*urlEdit_), QStringLiteral("0123456789").repeated(10) + QStringLiteral(":R"));
    }

    void numberBoxZeroFillsAndTakesOnlyDigits()
    {
        edit_->SetValue(std::string("7"), 4);
        QCOMPARE(edit_->text(), QStringLiteral("0007"));
        edit_->SetValue(std::nullopt, 3);
        QCOMPARE(edit_->text(), QString());
        edit_->setFocus();
        QTest::keyClicks(edit_, QStringLiteral("1a2-3 4"));
        QCOMPARE(edit_->text(), QStringLiteral("1234"));
    }

    void halvesStepUpAndDownAndTheRightButtonStepsByTen()
    {
        // The box's text, whether the right button is held meanwhile, which half is clicked, the text after; the
        // last row: the right button's release ended the ten-steps.
        const std::tuple<const char*, bool, bool, const char*> cases[] = {{"0099", false, true, "0100"},
                                                                          {"0100", false, false, "0099"},
                                                                          {"0095", true, true, "0105"},
                                                                          {"0099", false, true, "0100"}};
        for (const auto& [start, tens, up, after] : cases) {
            edit_->SetValue(std::string(start), 4);
            if (tens) {
                QTest::mousePress(spin_, Qt::RightButton, {}, UpperHalf(spin_));
                // X11 asks for a context menu on that press: left to the window, its menu would take the next click.
                QContextMenuEvent menu(QContextMenuEvent::Mouse, UpperHalf(spin_),
                                       spin_->mapToGlobal(UpperHalf(spin_)));
                QApplication::sendEvent(spin_, &menu);
                QVERIFY(menu.isAccepted());
            }
            QTest::mouseClick(spin_, Qt::LeftButton, {}, up ? UpperHalf(spin_) : LowerHalf(spin_));
            if (tens)
                QTest::mouseRelease(spin_, Qt::RightButton, {}, UpperHalf(spin_));
            QCOMPARE(edit_->text(), QString::fromUtf8(after));
        }
    }

    void heldButtonRepeatsUntilReleasedOrAnotherSpinIsPressedOrItIsDisabled()
    {
        edit_->SetValue(std::string("100"), 0);
        QTest::mousePress(spin_, Qt::LeftButton, {}, LowerHalf(spin_));
        QCOMPARE(edit_->text(), QStringLiteral("99")); // the press steps at once; the repeat's timing is the core's
        QTRY_VERIFY_WITH_TIMEOUT(edit_->text().toInt() <= 95, 20000);
        QTest::mouseRelease(spin_, Qt::LeftButton, {}, LowerHalf(spin_));
        const QString released = edit_->text();
        QTest::qWait(300);
        QCOMPARE(edit_->text(), released);
        spin_->Tick(); // a tick already on its way when the button came up steps nothing
        QCOMPARE(edit_->text(), released);

        // A press on another spin ends the repeat too, and so does disabling.
        CNumEdit* other = AddBox();
        CRepeatSpin* otherSpin = AddSpin(other);
        edit_->SetValue(std::string("5"), 0);
        other->SetValue(std::string("5"), 0);

        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        QTest::mousePress(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));
        spin_->Tick();
        otherSpin->Tick();
        QCOMPARE(edit_->text(), QStringLiteral("6"));
        QCOMPARE(other->text(), QStringLiteral("7"));
        QTest::mouseRelease(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));

        // The run starts and the window disables its controls; the button's release may never reach the spin.
        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        spin_->setEnabled(false);
        spin_->setEnabled(true);
        spin_->Tick();
        QCOMPARE(edit_->text(), QStringLiteral("7"));
    }

    void fieldSpinChoosesByHalf()
    {
        auto* spin = new CFieldSpin(window_.get());
        spin->setFixedSize(16, 40);
        window_->layout()->addWidget(spin);
        QSignalSpy chosen(spin, &CFieldSpin::FieldChosen);
        QTest::mouseClick(spin, Qt::LeftButton, {}, UpperHalf(spin));
        QTest::mouseClick(spin, Qt::LeftButton, {}, LowerHalf(spin));
        // Pressed, then let go outside: no choice; a right click never chooses.
        QTest::mousePress(spin, Qt::LeftButton, {}, UpperHalf(spin));
        QTest::mouseRelease(spin, Qt::LeftButton, {}, QPoint(spin->width() + 30, -20));
        QTest::mouseClick(spin, Qt::RightButton, {}, UpperHalf(spin));
        QCOMPARE(chosen.count(), 2);
        QCOMPARE(chosen.at(0).at(0).toInt(), 1);
        QCOMPARE(chosen.at(1).at(0).toInt(), 0);
    }

    void trimmingRemovesTrailingBlanksThenSlashes()
    {
        // Blanks first, then slashes: a blank before the slash stays; leading blanks go too.
        // clang-format off
        const std::pair<const char*, const char*> cases[] = {{"/home/u/dl\\ \t", "/home/u/dl"}, {"/dl//\\/", "/dl"},
            {"/dl /", "/dl "}, {"/my dl", "/my dl"}, {" \t/home/u/dl/ ", "/home/u/dl"}, {"///", "/"}, {"\\\\", ""}};
        // clang-format on
        for (const auto& [text, trimmed] : cases)
            QCOMPARE(CFolder::TrimFolderText(QString::fromUtf8(text)), QString::fromUtf8(trimmed));
    }

    void getFolderChecksOnlyChangedTextKeepsTheLastGoodFolderAndBrowses()
    {
        const QString a = QString::fromStdString(env_->makeFolder("a"));
        const QString b = QString::fromStdString(env_->makeFolder("b"));
        CFolder edit(nullptr);
        // A fresh control has no folder yet: even an empty text is checked, not passed as unchanged. A bad text
        // leaves the last good folder in place, and the next good text is checked again.
        const struct
        {
            QString text;
            int code;
            bool changed;
            QString folder;
        } steps[] = {
            {QString(), 1, true, QString()},        {a + QStringLiteral("/ "), 0, true, a},       {a, 0, false, a},
            {b + QStringLiteral("\\"), 0, true, b}, {b + QStringLiteral("/missing"), 2, true, b}, {b, 0, false, b}};
        for (const auto& step : steps) {
            QString out;
            bool changed = !step.changed;
            edit.setText(step.text);
            QCOMPARE(edit.GetFolder(out, changed), step.code);
            QCOMPARE(changed, step.changed);
            QCOMPARE(edit.Folder(), step.folder);
            if (step.code == 0)
                QCOMPARE(out, step.folder);
        }
        // An empty folder falls back to home; browsing starts at the text.
        edit.SetFolder(QString());
        QCOMPARE(edit.text(), QDir::homePath());
        QCOMPARE(edit.Folder(), QDir::homePath());

        edit.setText(QStringLiteral("/start/here"));
        hook_.QueueChosenPath(QStringLiteral("/chosen"));
        QCOMPARE(edit.Browse(), 0);
        QCOMPARE(edit.text(), QStringLiteral("/chosen"));
        QCOMPARE(edit.Browse(), -1); // nothing queued: the chooser was cancelled
        QCOMPARE(edit.text(), QStringLiteral("/chosen"));
        QCOMPARE(hook_.Choosers().size(), size_t(2));
        QCOMPARE(hook_.Choosers()[0].start, QStringLiteral("/start/here"));
    }

    void browserRefusesWhatItCannotChooseOrMake()
    {
        const QString start = QString::fromStdString(env_->makeFolder("start"));
        env_->makeFolder("start/inner");
        QVERIFY(test::WriteFile(env_->root() + "/start/file.txt", "x"));
        const struct
        {
            const char* typed;
            bool yes;           // the answer to the subfolder question
            const char* chosen; // under the start folder; nullptr: the browser stays open
            const char* asked;  // the subfolder name in the question, nullptr for none
            bool failed;
        } cases[] = {{"inner", true, "/inner", nullptr, false},
                     {"nosuch", true, nullptr, nullptr, false}, // an unknown name without a slash
                     {"/made", false, nullptr, "made", false},
                     {"/no/deeper", true, nullptr, "no/deeper", true}, // the parent is missing
                     {"\\file.txt", true, nullptr, "file.txt", true}};
        for (const auto& c : cases) {
            MessageHook hook;
            hook.QueueAnswer(c.yes ? MessageAnswer::Yes : MessageAnswer::No);
            CFolderBrowser browser(nullptr, start);
            browser.show();
            TypeAndOk(browser, QString::fromUtf8(c.typed));
            QCOMPARE(browser.isVisible(), !c.chosen);
            if (c.chosen)
                QCOMPARE(browser.ChosenFolder(), start + QString::fromUtf8(c.chosen));
            QStringList expected;
            if (c.asked)
                expected << Question(start, QString::fromUtf8(c.asked));
            if (c.failed)
                expected << QString::fromUtf8(CFolderBrowser::kMakeFailed);
            QCOMPARE(hook.Texts(), expected);
            QVERIFY(!QFileInfo::exists(start + QStringLiteral("/made")));
        }
    }

    void browserMakesASubfolderAndStaysOpenOnIt()
    {
        const QString start = QString::fromStdString(env_->makeFolder("start"));
        MessageHook hook;
        CFolderBrowser browser(nullptr, start);
        browser.show();
        // "/" and "\" both begin a subfolder name; the answer Yes comes by default.
        TypeAndOk(browser, QStringLiteral("/写真"));
        QVERIFY(browser.isVisible());
        QCOMPARE(browser.CurrentFolder(), start + QStringLiteral("/写真"));
        QCOMPARE(browser.NameEdit()->text(), QString());
        TypeAndOk(browser, QStringLiteral("\\2026"));
        QCOMPARE(hook.Texts(), (QStringList{Question(start, QStringLiteral("写真")),
                                            Question(start + QStringLiteral("/写真"), QStringLiteral("2026"))}));
        TypeAndOk(browser, QString()); // nothing typed: the new folder is the choice
        QVERIFY(!browser.isVisible() && browser.result() == QDialog::Accepted);
        QCOMPARE(browser.ChosenFolder(), start + QStringLiteral("/写真/2026"));
        QVERIFY(QFileInfo(browser.ChosenFolder()).isDir());
    }

    void browserOpensWithItsFolderInView()
    {
        // Last of a long list of folders: out of view unless the tree scrolls to it.
        const QString parent = QString::fromStdString(env_->makeFolder("many"));
        for (int i = 0; i < 80; ++i)
            QVERIFY(QDir(parent).mkdir(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'))));
        CFolderBrowser browser(nullptr, parent + QStringLiteral("/f79"));
        browser.show();
        // Judged once the model has read and sorted the folders beside it in the background (it is then the last).
        auto* tree = browser.findChild<QTreeView*>();
        QTRY_VERIFY_WITH_TIMEOUT(tree->currentIndex().row() == 79 &&
                                     tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())),
                                 10000);
    }

private:
    static QPoint UpperHalf(QWidget* w) { return {w->width() / 2, w->height() / 4}; }
    static QPoint LowerHalf(QWidget* w) { return {w->width() / 2, w->height() * 3 / 4}; }
    CNumEdit* AddBox()
    {
        auto* box = new CNumEdit(window_.get());
        window_->layout()->addWidget(box);
        return box;
    }
    CRepeatSpin* AddSpin(CNumEdit* buddy)
    {
        auto* spin = new CRepeatSpin(window_.get());
        spin->SetBuddy(buddy);
        spin->setFixedSize(16, 40);
        window_->layout()->addWidget(spin);
        return spin;
    }
    void Type(const QString& text) { QTest::keyClicks(urlEdit_, text); }
    void SetUpper(bool on, int selected = 0)
    {
        url_->SetUpperEnabled(on);
        url_->SetSelectedField(selected);
        url_->Refresh();
        urlEdit_->Highlight();
    }
    void SelectText(const QString& part)
    {
        const int at = static_cast<int>(urlEdit_->Text().indexOf(part));
        QTextCursor c = urlEdit_->textCursor();
        c.setPosition(at);
        c.setPosition(at + static_cast<int>(part.size()), QTextCursor::KeepAnchor);
        urlEdit_->setTextCursor(c);
    }

    MessageHook hook_; // a message no test waits for fails its test instead of blocking it
    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<CSeqUrl> url_; // outlives the box attached to it
    std::unique_ptr<QWidget> window_;
    CNumEdit* edit_ = nullptr;
    CRepeatSpin* spin_ = nullptr;
    CUrlEdit* urlEdit_ = nullptr;
};

} // namespace pelldra

QTEST_MAIN(pelldra::WidgetsTest)
#include "widgets_test.moc"
