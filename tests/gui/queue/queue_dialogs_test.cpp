// The URL list viewer and the queue summary, driven as a user drives them from the main window.
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "gui/queue/queue_summary_dialog.h"
#include "gui/queue/url_list_dialog.h"
#include "gui/widgets/url_edit.h"
#include "support/main_window.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

namespace {

CQueueItem Order(const std::string& name, int kind = CQueueItem::RENBAN)
{
    CQueueItem it;
    it.Kind = kind;
    it.job.Targ = "http://h.example/" + name + "/p*.jpg";
    it.Lst = "/lists/" + name + ".lst";
    it.St1 = it.Or1 = "1";
    it.Fol = "/dl/" + name;
    return it;
}

// The folders of the orders in the queue file.
QString Queued(const CWaitQueue& queue)
{
    CWaitQueue reader(queue.folder());
    reader.LoadAll();
    QStringList names;
    for (const CQueueItem& it : reader.Items())
        names << QString::fromStdString(it.Fol.substr(4));
    return names.join(' ');
}

void Select(QTreeWidget* list, std::initializer_list<int> rows)
{
    list->clearSelection();
    for (int row : rows)
        list->topLevelItem(row)->setSelected(true);
}

} // namespace

class QueueDialogsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        env_ = std::make_unique<test::TempEnv>();
        window_ = std::make_unique<test::ShownWindow>();
        dlg_ = &window_->dlg;
    }
    void cleanup()
    {
        window_.reset();
        env_.reset();
    }

    void editsAreWrittenOnlyWhenSavedAndEscIsTheWindows()
    {
        MessageHook& hook = window_->hook;
        for (const char* n : {"a", "b", "c", "d"})
            QVERIFY(dlg_->Queue().Append(Order(n)) == 0);
        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            QTreeWidget* list = s->List();
            Select(list, {0});
            QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
            Select(list, {3});
            QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
            QVERIFY(!s->SaveButton()->isEnabled()); // the first row cannot go up, nor the last one down
            QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
            Select(list, {0, 2});
            QTest::keyClick(list, Qt::Key_Delete);
            QCOMPARE(list->topLevelItemCount(), 2);
            QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("/dl/c"));
            QTest::keyClick(list, Qt::Key_Escape); // the boss key is off
            QVERIFY(s->isVisible());
            hook.QueueAnswer(MessageAnswer::No);
            s->CloseButton()->click();
        });
        dlg_->ShowQueueSummary();
        QCOMPARE(hook.Texts(), QStringList{QStringLiteral("待ち行列変更しますか？")});
        QCOMPARE(Queued(dlg_->Queue()), QStringLiteral("a b c d"));

        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            Select(s->List(), {1});
            QTest::keyClick(s->List(), Qt::Key_Backspace);
            s->SaveButton()->click();
            QVERIFY(!s->SaveButton()->isEnabled());
            // The boss key hides the window and closes the summary, asking nothing: the last edit is dropped.
            Select(s->List(), {0});
            QTest::keyClick(s->List(), Qt::Key_Delete);
            QVERIFY(s->SaveButton()->isEnabled());
            dlg_->Settings().BossKey = 1;
            QTest::keyClick(s->List(), Qt::Key_Escape);
        });
        dlg_->ShowQueueSummary();
        QVERIFY(dlg_->Hidden());
        QCOMPARE(Queued(dlg_->Queue()), QStringLiteral("a c d"));
        QCOMPARE(hook.Texts().size(), 1);
    }

    void takingOutWritesAtOnceAndShowsTheOrder()
    {
        MessageHook& hook = window_->hook;
        for (const CQueueItem& it : {Order("a"), Order("b", CQueueItem::LIST), Order("c")})
            QVERIFY(dlg_->Queue().Append(it) == 0);
        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            QTest::keyClick(s->List(), Qt::Key_Return);
            QCOMPARE(hook.Texts(), QStringList{QStringLiteral("選択されたアイテムがありません")});
            Select(s->List(), {2});
            QTest::keyClick(s->List(), Qt::Key_Delete); // unsaved, but written with the take-out
            Select(s->List(), {1});
            QTest::keyClick(s->List(), Qt::Key_Return);
            QVERIFY(!s->isVisible());
        });
        dlg_->ShowQueueSummary();
        QCOMPARE(Queued(dlg_->Queue()), QStringLiteral("a"));
        QCOMPARE(dlg_->ListPathEdit()->text(), QStringLiteral("/lists/b.lst"));

        test::WhenShown<CQueueSummaryDlg>(this, [&](CQueueSummaryDlg* s) {
            s->PowerOffButton()->click();
            const QPoint row = s->List()->visualItemRect(s->List()->topLevelItem(0)).center();
            QTest::mouseClick(s->List()->viewport(), Qt::LeftButton, {}, row);
            QTest::mouseDClick(s->List()->viewport(), Qt::LeftButton, {}, row);
            QVERIFY(!s->isVisible());
        });
        dlg_->ShowQueueSummary();
        QVERIFY(dlg_->PowerOffWhenQueueDone());
        QCOMPARE(dlg_->UrlEdit()->Text(), QStringLiteral("http://h.example/a/p1.jpg"));
        QVERIFY(!dlg_->QueueButton()->isEnabled());
        dlg_->ShowQueueSummary();
        QCOMPARE(hook.Texts().last(), QStringLiteral("待ち行列は空です。"));
    }

    void theListViewerShowsTheJobsAndHandsBackItsFolder()
    {
        MessageHook& hook = window_->hook;
        const QString folder = QString::fromStdString(env_->makeFolder("save"));
        dlg_->FolderEdit()->setText(folder);
        dlg_->Tabs()->setCurrentIndex(1);
        auto* view = dlg_->findChild<QPushButton*>(QStringLiteral("viewList"));
        const std::string listPath = env_->root() + "/pics.lst";
        dlg_->ListPathEdit()->setText(QString::fromStdString(listPath));
        QVERIFY(test::WriteFile(listPath, "# nothing\r\n"));
        view->click(); // no dialog for a list without a job
        QVERIFY(test::WriteFile(listPath, "Refe: http://r.example/\r\nhttp://h.example/1.jpg\r\n"));
        test::WhenShown<CUrlListDlg>(this, [&](CUrlListDlg* v) {
            QCOMPARE(v->windowTitle(), QStringLiteral("URLリスト  pics.lst"));
            QCOMPARE(v->List()->topLevelItem(0)->text(1), QStringLiteral("http://r.example/"));
            QCOMPARE(v->Folder(), folder + "/");
            QTest::keyClick(v->List(), Qt::Key_Escape); // the boss key is off
            QVERIFY(v->isVisible());
            v->FolderEdit()->setText(QStringLiteral("/elsewhere"));
            v->accept();
        });
        view->click();
        QCOMPARE(hook.Texts(), QStringList{QStringLiteral("リストは空です。")});
        QCOMPARE(dlg_->FolderEdit()->text(), QStringLiteral("/elsewhere"));
    }

private:
    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<test::ShownWindow> window_;
    CPelldraDlg* dlg_ = nullptr;
};

} // namespace pelldra

QTEST_MAIN(pelldra::QueueDialogsTest)
#include "queue_dialogs_test.moc"
