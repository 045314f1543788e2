// Tests of the save-folder edit (trimming, check, fallback, browse) and of the folder browser's subfolder making.
#include "gui/platform/message_box.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"

#include "support/temp_env.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace pelldra {

namespace {

QPushButton* ButtonWithText(QWidget* parent, const QString& text)
{
    for (QPushButton* b : parent->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

class FolderTest final : public QObject
{
    Q_OBJECT

private slots:
    void trimmingRemovesTrailingBlanksThenSlashes()
    {
        // Blanks first, then slashes: a blank before the slash stays.
        const std::pair<const char*, const char*> cases[] = {{"/home/u/dl/ ", "/home/u/dl"},
                                                             {"/home/u/dl\\ \t", "/home/u/dl"},
                                                             {"/dl//\\/", "/dl"},
                                                             {"/dl /", "/dl "},
                                                             {"/my dl", "/my dl"},
                                                             {" \t/home/u/dl/ ", "/home/u/dl"},
                                                             {"/ ", "/"},
                                                             {"///", "/"},
                                                             {"  ", ""},
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
        edit.SetFolder(a);
        // A bad text leaves the last good folder in place, and the next good text is checked again.
        const struct
        {
            QString text;
            int code;
            bool changed;
            QString folder;
        } steps[] = {{a + QStringLiteral("/ "), 0, false, a},
                     {b + QStringLiteral("\\"), 0, true, b},
                     {b + QStringLiteral("/missing"), 2, true, b},
                     {b, 0, false, b}};
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

    void getFolderReportsTheCheckMessages()
    {
        test::TempEnv env;
        const QString root = QString::fromStdString(env.root());
        QVERIFY(test::WriteFile(env.root() + "/file.txt", "x"));
        const struct
        {
            QString text;
            int code;
            const char* message;
        } cases[] = {{QString(), 1, "保存用のフォルダが指定されていません。"},
                     {root + QStringLiteral("/missing"), 2, "保存用のフォルダ名が不正です。"},
                     {root + QStringLiteral("/file.txt"), 3, "保存用フォルダ名はフォルダを指していません。"}};
        for (const auto& c : cases) {
            // A fresh control has no folder yet: even an empty text must be checked, not passed as unchanged.
            CFolder edit(nullptr);
            edit.setText(c.text);
            QString out;
            bool changed = false;
            QCOMPARE(edit.GetFolder(out, changed), c.code);
            QVERIFY(changed);
            QCOMPARE(out, QString::fromUtf8(c.message));
            QCOMPARE(edit.Folder(), QString());
        }
    }

    void anEmptyFolderFallsBackToHome()
    {
        test::TempEnv env;
        const QString home = QDir::homePath();
        QCOMPARE(home, QString::fromStdString(env.root()) + QStringLiteral("/home"));

        CFolder edit(nullptr);
        edit.SetFolder(QString());
        QCOMPARE(edit.text(), home);
        QCOMPARE(edit.Folder(), home);

        edit.setText(QStringLiteral("/typed"));
        QCOMPARE(edit.TakeForStore(), QStringLiteral("/typed"));
    }

    void browseShowsTheChoiceOrKeepsTheTextOnCancel()
    {
        QWidget window;
        CFolder edit(&window);
        edit.setText(QStringLiteral("/start/here"));
        MessageHook hook;
        hook.QueueChosenPath(QStringLiteral("/chosen"));

        QCOMPARE(edit.Browse(), 0);
        QCOMPARE(edit.text(), QStringLiteral("/chosen"));
        QCOMPARE(edit.Browse(), -1); // nothing queued: the chooser was cancelled
        QCOMPARE(edit.text(), QStringLiteral("/chosen"));

        QCOMPARE(hook.Choosers().size(), size_t(2));
        QCOMPARE(hook.Choosers()[0].start, QStringLiteral("/start/here"));
        QCOMPARE(hook.Choosers()[1].start, QStringLiteral("/chosen"));
    }

    void browserHandlesTheTypedName()
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
        } cases[] = {{"", true, "", nullptr, false}, // nothing typed chooses the selection
                     {"inner", true, "/inner", nullptr, false},
                     {"nosuch", true, nullptr, nullptr, false}, // an unknown name without a slash
                     {"/made", false, nullptr, "made", false},
                     {"/no/deeper", true, nullptr, "no/deeper", true}, // the parent is missing
                     {"\\file.txt", true, nullptr, "file.txt", true}};
        for (const auto& c : cases) {
            MessageHook hook;
            hook.QueueAnswer(c.yes ? MessageAnswer::Yes : MessageAnswer::No);
            CFolderBrowser browser(nullptr, start);
            QCOMPARE(browser.windowTitle(), QStringLiteral("どのフォルダを選びますか？"));
            QCOMPARE(browser.StatusLabel()->text(),
                     QStringLiteral("サブフォルダを作る時は\\で始まる文字列を下の欄に書いて下さい"));
            QCOMPARE(browser.CurrentFolder(), start);
            browser.show();
            browser.NameEdit()->setText(QString::fromUtf8(c.typed));
            QPushButton* ok = ButtonWithText(&browser, QStringLiteral("OK"));
            QVERIFY(ok);
            ok->click();

            QCOMPARE(browser.isVisible(), !c.chosen);
            QCOMPARE(browser.result() == QDialog::Accepted, c.chosen != nullptr);
            if (c.chosen)
                QCOMPARE(browser.ChosenFolder(), start + QString::fromUtf8(c.chosen));
            QStringList expected;
            if (c.asked)
                expected << QStringLiteral("現在位置：%1 に\nサブフォルダ%2を作りますか？")
                                .arg(start, QString::fromUtf8(c.asked));
            if (c.failed)
                expected << QStringLiteral("フォルダ作成に失敗しました");
            QCOMPARE(hook.Texts(), expected);
            QVERIFY(!QFileInfo::exists(start + QStringLiteral("/made")));
        }
    }

    void browserMakesASubfolderAndStaysOpenOnIt()
    {
        test::TempEnv env;
        const QString start = QString::fromStdString(env.makeFolder("start"));
        MessageHook hook;
        hook.QueueAnswer(MessageAnswer::Yes);
        hook.QueueAnswer(MessageAnswer::Yes);
        CFolderBrowser browser(nullptr, start);
        browser.show();
        QPushButton* ok = ButtonWithText(&browser, QStringLiteral("OK"));

        // "/" and "\" both begin a subfolder name.
        browser.NameEdit()->setText(QStringLiteral("/写真"));
        ok->click();
        QVERIFY(browser.isVisible());
        QVERIFY(QFileInfo(start + QStringLiteral("/写真")).isDir());
        QCOMPARE(browser.CurrentFolder(), start + QStringLiteral("/写真"));
        QCOMPARE(browser.NameEdit()->text(), QString());

        browser.NameEdit()->setText(QStringLiteral("\\2026"));
        ok->click();
        QVERIFY(QFileInfo(start + QStringLiteral("/写真/2026")).isDir());
        QCOMPARE(hook.Texts().size(), 2);
        QCOMPARE(
            hook.Texts()[1],
            QStringLiteral("現在位置：%1 に\nサブフォルダ2026を作りますか？").arg(start + QStringLiteral("/写真")));

        ok->click(); // nothing typed: the new folder is the choice
        QVERIFY(!browser.isVisible());
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(browser.ChosenFolder(), start + QStringLiteral("/写真/2026"));
    }
};

} // namespace pelldra

QTEST_MAIN(pelldra::FolderTest)
#include "folder_test.moc"
