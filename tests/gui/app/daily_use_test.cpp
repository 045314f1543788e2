// Tests of the main window in everyday use: pasted URLs, a double click on start, focus and keys, switching modes,
// the folder chooser's first view and Qt's own texts.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleHints>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>

#include "gui/app/run_animation.h"
#include "gui/log/log_edit.h"
#include "gui/platform/message_box.h"
#include "gui/platform/qt_translations.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

namespace pelldra {

namespace {

QRect InWindow(const QWidget* w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

} // namespace

class DailyUseTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }

    void pastedUrlWithBlanksDownloadsAndADoubleClickStartsOnce()
    {
        // Long enough that a loaded machine cannot make the two presses of the double click seem apart.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(60000);
        test::TestHttpServer server;
        for (const char* path : {"/p/img001.jpg", "/p/img002.jpg"})
            server.AddFile(path, path, "image/jpeg");
        const std::string folder = env_->makeFolder("save");
        MessageHook hook;
        CPelldraDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget*>(dlg.UrlEdit()));

        // As many pages and terminals copy it: blanks around, a line break after.
        QApplication::clipboard()->setText(QString::fromStdString("  " + server.Url("/p/img001.jpg") + "  \n"));
        QTest::keyClick(dlg.UrlEdit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dlg.UrlEdit()->Text(), QString::fromStdString(server.Url("/p/img001.jpg")));
        dlg.LowerTo()->setText(QStringLiteral("002"));
        dlg.FolderEdit()->setText(QString::fromStdString("  " + folder + " "));
        // A double click is two presses, the second within the desktop's double-click interval.
        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), 15000);

        QVERIFY2(hook.Texts().isEmpty(), qPrintable(hook.Texts().join(QLatin1Char('|'))));
        QCOMPARE(QDir(QString::fromStdString(folder)).entryList(QDir::Files),
                 (QStringList{QStringLiteral("img001.jpg"), QStringLiteral("img002.jpg")}));
        // The second press of the double click neither queued the order nor ran it again.
        QCOMPARE(server.RequestCount(), 2);
        QCOMPARE(dlg.Queue().LoadAll(), 0);
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(-1);
    }

    void urlBoxShowsItsFocusAndQueueModeHasAKey()
    {
        CPelldraDlg dlg;
        dlg.show();
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QVERIFY(dlg.UrlEdit()->hasFocus());
        const QImage focused = dlg.UrlEdit()->grab().toImage();
        dlg.FolderEdit()->setFocus();
        QVERIFY(dlg.UrlEdit()->grab().toImage() != focused);

        QVERIFY(dlg.Animation()->toolTip().contains(QStringLiteral("Ctrl+M")));
        QTest::keyClick(&dlg, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(dlg.QueueMode());
        QTest::keyClick(&dlg, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!dlg.QueueMode());
    }

    void switchingModesLeavesTheFolderRowAndTheLogInPlace()
    {
        CPelldraDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QRect folder = InWindow(dlg.FolderEdit());
        const QRect log = InWindow(dlg.LogView());
        dlg.Tabs()->setCurrentIndex(1);
        QApplication::processEvents();
        QVERIFY(dlg.ListPathEdit()->isVisible());
        QCOMPARE(InWindow(dlg.FolderEdit()), folder);
        QCOMPARE(InWindow(dlg.LogView()), log);
    }

    void folderChooserOpensWithItsFolderInView()
    {
        // Far down a long list of folders, so that it is out of view unless the tree scrolls to it.
        const QString parent = QString::fromStdString(env_->makeFolder("many"));
        for (int i = 0; i < 80; ++i)
            QVERIFY(QDir(parent).mkdir(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'))));
        const QString start = parent + QStringLiteral("/f79");
        CFolderBrowser browser(nullptr, start);
        browser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&browser));
        // Judged once the folders beside it are read and sorted (it is then the last), which the model does in the
        // background after the dialog opened.
        auto* tree = browser.findChild<QTreeView*>();
        QTRY_VERIFY_WITH_TIMEOUT(tree->currentIndex().row() == 79 &&
                                     tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())),
                                 10000);
        QCOMPARE(browser.CurrentFolder(), start);
    }

    void qtsOwnDialogsSpeakJapanese()
    {
        QVERIFY(UseJapaneseQtTexts());
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")),
                 qPrintable(box.button(QMessageBox::Yes)->text()));
    }

private:
    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::DailyUseTest)
#include "daily_use_test.moc"
