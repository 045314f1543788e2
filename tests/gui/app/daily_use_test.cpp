// Tests of the main window in everyday use: the queue-mode key, the folder chooser's first view and Qt's own texts.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "gui/app/run_animation.h"
#include "gui/platform/qt_translations.h"
#include "gui/widgets/folder_browser.h"
#include "support/temp_env.h"

namespace pelldra {

class DailyUseTest final : public QObject
{
    Q_OBJECT

private slots:
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
