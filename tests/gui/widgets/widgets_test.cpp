// Tests of the number box and its spins (the step arithmetic and the repeat's timing are the core's), the save-folder
// edit and the folder browser.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <tuple>

#include "gui/platform/message_box.h"
#include "gui/widgets/field_spin.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/repeat_spin.h"
#include "support/temp_env.h"

namespace pelldra {

namespace {

// Types a name into the browser and presses its OK.
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
        env_ = std::make_unique<test::TempEnv>();
        window_ = std::make_unique<QWidget>();
        new QHBoxLayout(window_.get());
        edit_ = AddBox();
        spin_ = AddSpin(edit_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup()
    {
        window_.reset();
        env_.reset();
        QCOMPARE(unexpected_.Texts(), QStringList());
    }

    void setValueZeroFillsAndOnlyDigitsCanBeTyped()
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
        // The box's text, whether the right button is held meanwhile, which half is clicked, the text after.
        const std::tuple<const char*, bool, bool, const char*> cases[] = {
            {"0099", false, true, "0100"},
            {"0100", false, false, "0099"},
            {"0095", true, true, "0105"},
            {"0099", false, true, "0100"}}; // the right button's release ended the ten-steps
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

    void heldButtonRepeatsUntilReleased()
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
    }

    void pressOnAnotherSpinOrDisablingEndsTheRepeat()
    {
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
        // Blanks first, then slashes: a blank before the slash stays.
        const std::pair<const char*, const char*> cases[] = {{"/home/u/dl\\ \t", "/home/u/dl"},
                                                             {"/dl//\\/", "/dl"},
                                                             {"/dl /", "/dl "},
                                                             {"/my dl", "/my dl"},
                                                             {" \t/home/u/dl/ ", "/home/u/dl"}, // leading blanks too
                                                             {"///", "/"},
                                                             {"\\\\", ""}};
        for (const auto& [text, trimmed] : cases)
            QCOMPARE(CFolder::TrimFolderText(QString::fromUtf8(text)), QString::fromUtf8(trimmed));
    }

    void getFolderChecksOnlyChangedTextAndKeepsTheLastGoodFolder()
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
    }

    void anEmptyFolderFallsBackToHomeAndBrowseStartsAtTheText()
    {
        MessageHook hook;
        CFolder edit(nullptr);
        edit.SetFolder(QString());
        QCOMPARE(edit.text(), QDir::homePath());
        QCOMPARE(edit.Folder(), QDir::homePath());

        edit.setText(QStringLiteral("/start/here"));
        hook.QueueChosenPath(QStringLiteral("/chosen"));
        QCOMPARE(edit.Browse(), 0);
        QCOMPARE(edit.text(), QStringLiteral("/chosen"));
        QCOMPARE(edit.Browse(), -1); // nothing queued: the chooser was cancelled
        QCOMPARE(edit.text(), QStringLiteral("/chosen"));
        QCOMPARE(hook.Choosers().size(), size_t(2));
        QCOMPARE(hook.Choosers()[0].start, QStringLiteral("/start/here"));
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
        QVERIFY(!browser.isVisible());
        QCOMPARE(browser.result(), int(QDialog::Accepted));
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

    MessageHook unexpected_; // a message no test waits for fails its test instead of blocking it
    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<QWidget> window_;
    CNumEdit* edit_ = nullptr;
    CRepeatSpin* spin_ = nullptr;
};

} // namespace pelldra

QTEST_MAIN(pelldra::WidgetsTest)
#include "widgets_test.moc"
