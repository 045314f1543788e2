// An order shown in the main window again builds the same order on start.
#include "gui/app/pelldra_dlg.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <tuple>

#include "gui/settings/detail_dialog.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/main_window.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

namespace {

using test::Q;

// A window in queue mode, so that a start only appends its order; the orders are taken back with TakeFirst.
struct QueueingWindow : test::ShownWindow
{
    explicit QueueingWindow(const std::string& folder) : ShownWindow(folder) { dlg.ToggleQueueMode(); }
    CQueueItem StartAndTake()
    {
        dlg.StartButton()->click();
        CQueueItem taken;
        if (dlg.Queue().TakeFirst(taken) != TakeResult::Taken)
            taken.Clear();
        dlg.Queue().EndTakenRun();
        return taken;
    }
};

} // namespace

class LoadItemTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }

    void aSeriesShownAgainBuildsTheSameOrder()
    {
        const std::string folder = env_->makeFolder("save");
        CQueueItem original;
        {
            QueueingWindow w(folder);
            CPelldraDlg& dlg = w.dlg;
            dlg.Settings().Referer = "http://h.example/vol2/index05.html";
            dlg.Settings().syncFlags = 1;
            dlg.UrlEdit()->selectAll();
            dlg.UrlEdit()->insertPlainText(QStringLiteral("http://h.example/vol2/p05.jpg"));
            QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
            dlg.UpperTo()->setText(QStringLiteral("4"));
            dlg.LowerFrom()->setText(QStringLiteral("01"));
            dlg.LowerTo()->setText(QStringLiteral("09"));
            dlg.SubfolderEdit()->setText(QStringLiteral("v*"));
            dlg.SaveNameEdit()->setText(QStringLiteral("x*.jpg"));
            original = w.StartAndTake();
            QVERIFY(w.hook.Texts().isEmpty());
            QCOMPARE(Q(original.job.Refe), QStringLiteral("http://h.example/vol2/index*.html"));
        }
        original.job.Cook = "sid=1"; // goes with orders from the same URL folder

        // A window with other settings, the upper string off and nothing typed.
        QueueingWindow w(env_->makeFolder("other"));
        CPelldraDlg& dlg = w.dlg;
        dlg.LoadItemIntoWindow(original);
        const CQueueItem again = w.StartAndTake();
        QVERIFY(w.hook.Texts().isEmpty());
        QCOMPARE(Q(again.ToText()), Q(original.ToText()));
    }

    void aListShownAgainKeepsItsKindAndPage()
    {
        const std::string folder = env_->makeFolder("save");
        CQueueItem page;
        page.Kind = CQueueItem::IMAGE;
        page.KindName = "IMAGE";
        page.Lst = env_->root() + "/handed.lst";
        page.Page = "http://h.example/gallery.html";
        page.Fol = folder;
        page.Del = 1;
        QueueingWindow w(env_->makeFolder("other"));
        CPelldraDlg& dlg = w.dlg;
        dlg.LoadItemIntoWindow(page);
        const CQueueItem again = w.StartAndTake();
        QVERIFY(w.hook.Texts().isEmpty());
        QVERIFY(std::tie(again.Kind, again.Page, again.Fol, again.Del) ==
                std::tie(page.Kind, page.Page, page.Fol, page.Del));
        // Only that very start: the next one is a plain list.
        QCOMPARE(w.StartAndTake().Kind, int(CQueueItem::LIST));
    }

    void theRefererGoesIntoAnOpenDetailDialog()
    {
        QueueingWindow w(env_->makeFolder("save"));
        CPelldraDlg& dlg = w.dlg;
        CQueueItem order;
        order.Kind = CQueueItem::RENBAN;
        order.job.Targ = "http://h.example/a/p*.jpg";
        order.job.Refe = "http://h.example/a/index*.html";
        order.Or1 = order.St1 = "3";
        order.Ed1 = "7";
        order.Syn = 1;
        QString shown;
        test::WhenShown<CDetailDlg>(this, [&](CDetailDlg* detail) {
            dlg.LoadItemIntoWindow(order);
            shown = detail->findChild<CUrlEdit*>(QStringLiteral("refererEdit"))->Text();
            QVERIFY(detail->findChild<QCheckBox*>(QStringLiteral("syncLower"))->isChecked());
            QVERIFY(dlg.Settings().Referer.empty()); // not before OK
            detail->accept();
        });
        dlg.ShowDetailSettings();
        QCOMPARE(shown, QStringLiteral("http://h.example/a/index3.html"));
        QCOMPARE(Q(dlg.Settings().Referer), shown);
        QCOMPARE(dlg.Settings().syncFlags, 1);
    }

private:
    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::LoadItemTest)
#include "load_item_test.moc"
