// Tests of the save-folder edit (trimming, check, fallback, browse) and of the folder browser: its first view and its
// subfolder making.
#include "gui/platform/message_box.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"

#include "support/temp_env.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

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

class FolderTest final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(unexpected_.Texts(), QStringList()); }
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
        test::TempEnv env;
        const QString a = QString::fromStdString(env.makeFolder("a"));
        const QString b = QString::fromStdString(env.makeFolder("b"));
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
        test::TempEnv env;
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
        test::TempEnv env;
        const QString start = QString::fromStdString(env.makeFolder("start"));
        env.makeFolder("start/inner");
        QVERIFY(test::WriteFile(env.root() + "/start/file.txt", "x"));
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
        test::TempEnv env;
        const QString start = QString::fromStdString(env.makeFolder("start"));
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
        test::TempEnv env;
        // Last of a long list of folders: out of view unless the tree scrolls to it.
        const QString parent = QString::fromStdString(env.makeFolder("many"));
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
    MessageHook unexpected_; // a message no test waits for fails its test instead of blocking it
};

} // namespace pelldra

QTEST_MAIN(pelldra::FolderTest)
#include "folder_test.moc"
