// Tests of the main window in everyday use: a pasted URL, a double click on start, the queue-mode key, the folder
// chooser's first view and Qt's own texts.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleHints>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "gui/app/run_animation.h"
#include "gui/platform/message_box.h"
#include "gui/platform/qt_translations.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

namespace pelldra {

class DailyUseTest final : public QObject
{
    Q_OBJECT

private slots:
    void pastedUrlWithBlanksDownloadsAndADoubleClickStartsOnce()
    {
        test::TempEnv env;
        test::TestHttpServer server;
        for (const char* path : {"/p/img001.jpg", "/p/img002.jpg"})
            server.AddFile(path, path, "image/jpeg");
        const std::string folder = env.makeFolder("save");
        // Long enough that a loaded machine cannot make the two presses of a double click seem apart.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(60000);
        MessageHook hook;
        CPelldraDlg dlg;
        dlg.show();
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget*>(dlg.UrlEdit()));
        // As many pages and terminals copy it: blanks around, a line break after.
        QApplication::clipboard()->setText(QString::fromStdString("  " + server.Url("/p/img001.jpg") + "  \n"));
        QTest::keyClick(dlg.UrlEdit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dlg.UrlEdit()->Text(), QString::fromStdString(server.Url("/p/img001.jpg")));
        dlg.LowerTo()->setText(QStringLiteral("002"));
        dlg.FolderEdit()->setText(QString::fromStdString("  " + folder + " "));
        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), 15000);
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(-1);

        QVERIFY2(hook.Texts().isEmpty(), qPrintable(hook.Texts().join(QLatin1Char('|'))));
        QCOMPARE(QDir(QString::fromStdString(folder)).entryList(QDir::Files),
                 (QStringList{QStringLiteral("img001.jpg"), QStringLiteral("img002.jpg")}));
        // The second press neither queued the order nor ran it again.
        QCOMPARE(server.RequestCount(), 2);
        QCOMPARE(dlg.Queue().LoadAll(), 0);
    }

    void queueModeHasAKeyNamedInTheAnimationsTooltip()
    {
        test::TempEnv env;
        CPelldraDlg dlg;
        dlg.show();
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QVERIFY(dlg.Animation()->toolTip().contains(QStringLiteral("Ctrl+M")));
        QTest::keyClick(&dlg, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(dlg.QueueMode());
    }

    void folderChooserOpensWithItsFolderInView()
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

    void qtsOwnDialogsSpeakJapanese()
    {
        QVERIFY(UseJapaneseQtTexts());
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")),
                 qPrintable(box.button(QMessageBox::Yes)->text()));
    }
};

} // namespace pelldra

QTEST_MAIN(pelldra::DailyUseTest)
#include "daily_use_test.moc"
