// Tests of the save-folder edit (trimming, check, fallback, browse) and of the folder browser's subfolder making.
#include "gui/platform/message_box.h"
#include "gui/ui/folder_browser.h"
#include "gui/ui/folder_edit.h"

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
    void trimmingRemovesTrailingBlanksThenSlashes_data();
    void trimmingRemovesTrailingBlanksThenSlashes();
    void getFolderChecksOnlyChangedTextAndKeepsTheLastGoodFolder();
    void getFolderReportsTheCheckMessages_data();
    void getFolderReportsTheCheckMessages();
    void emptyAndVanishedFoldersFallBackToHome();
    void browseShowsTheChoiceOrKeepsTheTextOnCancel();
    void browserHandlesTheTypedName_data();
    void browserHandlesTheTypedName();
    void browserMakesASubfolderAndStaysOpenOnIt();
};

void FolderTest::trimmingRemovesTrailingBlanksThenSlashes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("slash and space") << QStringLiteral("/home/u/dl/ ") << QStringLiteral("/home/u/dl");
    QTest::newRow("back slash and tab") << QStringLiteral("/home/u/dl\\ \t") << QStringLiteral("/home/u/dl");
    QTest::newRow("several slashes") << QStringLiteral("/dl//\\/") << QStringLiteral("/dl");
    // Blanks first, then slashes: a blank before the slash stays.
    QTest::newRow("blank before slash") << QStringLiteral("/dl /") << QStringLiteral("/dl ");
    QTest::newRow("inner blanks kept") << QStringLiteral("/my dl") << QStringLiteral("/my dl");
    QTest::newRow("root stays root") << QStringLiteral("/ ") << QStringLiteral("/");
    QTest::newRow("only slashes") << QStringLiteral("///") << QStringLiteral("/");
    QTest::newRow("only blanks") << QStringLiteral("  ") << QString();
    QTest::newRow("only back slashes") << QStringLiteral("\\\\") << QString();
}

void FolderTest::trimmingRemovesTrailingBlanksThenSlashes()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(CFolder::TrimFolderText(text), trimmed);
}

void FolderTest::getFolderChecksOnlyChangedTextAndKeepsTheLastGoodFolder()
{
    test::TempEnv env;
    const QString a = QString::fromStdString(env.makeFolder("a"));
    const QString b = QString::fromStdString(env.makeFolder("b"));
    CFolder edit(nullptr);
    edit.SetFolder(a);

    QString out;
    bool changed = true;
    edit.setText(a + QStringLiteral("/ "));
    QCOMPARE(edit.GetFolder(out, changed), 0);
    QVERIFY(!changed);
    QCOMPARE(out, a);

    edit.setText(b + QStringLiteral("\\"));
    QCOMPARE(edit.GetFolder(out, changed), 0);
    QVERIFY(changed);
    QCOMPARE(out, b);
    QCOMPARE(edit.Folder(), b);

    // A bad text leaves the last good folder in place, and the next good text is checked again.
    edit.setText(b + QStringLiteral("/missing"));
    QCOMPARE(edit.GetFolder(out, changed), 2);
    QCOMPARE(edit.Folder(), b);
    edit.setText(b);
    QCOMPARE(edit.GetFolder(out, changed), 0);
    QVERIFY(!changed);
}

void FolderTest::getFolderReportsTheCheckMessages_data()
{
    QTest::addColumn<QString>("name"); // under the test root; "" for an empty text
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << 1 << QStringLiteral("保存用のフォルダが指定されていません。");
    QTest::newRow("missing") << QStringLiteral("missing") << 2 << QStringLiteral("保存用のフォルダ名が不正です。");
    QTest::newRow("a file") << QStringLiteral("file.txt") << 3
                            << QStringLiteral("保存用フォルダ名はフォルダを指していません。");
}

void FolderTest::getFolderReportsTheCheckMessages()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QString, message);
    test::TempEnv env;
    QVERIFY(test::WriteFile(env.root() + "/file.txt", "x"));
    // A fresh control has no folder yet: even an empty text must be checked, not passed as unchanged.
    CFolder edit(nullptr);
    edit.setText(name.isEmpty() ? QString() : QString::fromStdString(env.root()) + QLatin1Char('/') + name);
    QString out;
    bool changed = false;
    QCOMPARE(edit.GetFolder(out, changed), code);
    QVERIFY(changed);
    QCOMPARE(out, message);
    QCOMPARE(edit.Folder(), QString());
}

void FolderTest::emptyAndVanishedFoldersFallBackToHome()
{
    test::TempEnv env;
    const QString home = QDir::homePath();
    QCOMPARE(home, QString::fromStdString(env.root()) + QStringLiteral("/home"));
    const QString kept = QString::fromStdString(env.makeFolder("kept"));

    CFolder edit(nullptr);
    edit.SetFolder(QString());
    QCOMPARE(edit.text(), home);
    QCOMPARE(edit.Folder(), home);

    edit.LoadStored(kept);
    QCOMPARE(edit.text(), kept);
    edit.LoadStored(kept + QStringLiteral("/gone"));
    QCOMPARE(edit.text(), home);
    QCOMPARE(edit.Folder(), home);

    edit.setText(QStringLiteral("/typed"));
    QCOMPARE(edit.TakeForStore(), QStringLiteral("/typed"));
}

void FolderTest::browseShowsTheChoiceOrKeepsTheTextOnCancel()
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

void FolderTest::browserHandlesTheTypedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer"); // the answer to the subfolder question: 1 yes, 0 no
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("chosen"); // relative to the test root
    QTest::addColumn<QStringList>("messages");

    const QString ask = QStringLiteral("現在位置：%1 に\nサブフォルダ%2を作りますか？");
    const QString failed = QStringLiteral("フォルダ作成に失敗しました");
    QTest::newRow("nothing typed chooses the selection")
        << QString() << 1 << true << QStringLiteral("start") << QStringList();
    QTest::newRow("existing name inside")
        << QStringLiteral("inner") << 1 << true << QStringLiteral("start/inner") << QStringList();
    QTest::newRow("unknown name without slash stays")
        << QStringLiteral("nosuch") << 1 << false << QString() << QStringList();
    QTest::newRow("declined") << QStringLiteral("/made") << 0 << false << QString()
                              << QStringList{ask.arg(QStringLiteral("@/start"), QStringLiteral("made"))};
    QTest::newRow("missing parent fails")
        << QStringLiteral("/no/deeper") << 1 << false << QString()
        << QStringList{ask.arg(QStringLiteral("@/start"), QStringLiteral("no/deeper")), failed};
    QTest::newRow("a file of that name fails")
        << QStringLiteral("\\file.txt") << 1 << false << QString()
        << QStringList{ask.arg(QStringLiteral("@/start"), QStringLiteral("file.txt")), failed};
}

void FolderTest::browserHandlesTheTypedName()
{
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(QString, chosen);
    QFETCH(QStringList, messages);
    test::TempEnv env;
    const QString root = QString::fromStdString(env.root());
    const QString start = QString::fromStdString(env.makeFolder("start"));
    env.makeFolder("start/inner");
    QVERIFY(test::WriteFile(env.root() + "/start/file.txt", "x"));

    MessageHook hook;
    hook.QueueAnswer(answer ? MessageAnswer::Yes : MessageAnswer::No);
    CFolderBrowser browser(nullptr, start);
    QCOMPARE(browser.windowTitle(), QStringLiteral("どのフォルダを選びますか？"));
    QCOMPARE(browser.StatusLabel()->text(),
             QStringLiteral("サブフォルダを作る時は\\で始まる文字列を下の欄に書いて下さい"));
    QCOMPARE(browser.CurrentFolder(), start);
    browser.show();
    browser.NameEdit()->setText(typed);
    QPushButton* ok = ButtonWithText(&browser, QStringLiteral("OK"));
    QVERIFY(ok);
    ok->click();

    QCOMPARE(browser.isVisible(), !closes);
    QCOMPARE(browser.result() == QDialog::Accepted, closes);
    if (closes)
        QCOMPARE(browser.ChosenFolder(), root + QLatin1Char('/') + chosen);
    QStringList expected;
    for (const QString& m : messages)
        expected << QString(m).replace(QLatin1Char('@'), root);
    QCOMPARE(hook.Texts(), expected);
    QVERIFY(!QFileInfo::exists(start + QStringLiteral("/made")));
}

void FolderTest::browserMakesASubfolderAndStaysOpenOnIt()
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
    QCOMPARE(hook.Texts()[1],
             QStringLiteral("現在位置：%1 に\nサブフォルダ2026を作りますか？").arg(start + QStringLiteral("/写真")));

    ok->click(); // nothing typed: the new folder is the choice
    QVERIFY(!browser.isVisible());
    QCOMPARE(browser.result(), int(QDialog::Accepted));
    QCOMPARE(browser.ChosenFolder(), start + QStringLiteral("/写真/2026"));
}

} // namespace pelldra

QTEST_MAIN(pelldra::FolderTest)
#include "folder_test.moc"
