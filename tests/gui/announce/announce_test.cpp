// The main window's announcement check: the question on the window's thread, one check at a time, and a window
// that closes while the question is up.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

#include "core/registry/tavin_reg_key.h"
#include "gui/announce/announce_dialog.h"
#include "gui/platform/message_box.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

using namespace std::chrono_literals;

namespace pelldra {

class AnnounceTest final : public QObject
{
    Q_OBJECT

    static constexpr const char* kPage = "http://www.tavin.example/news/6.html";

private slots:
    void init()
    {
        server_.reset(); // the last test's, before its folders go
        env_.reset();
        env_ = std::make_unique<test::TempEnv>();
        messages_ = std::make_unique<MessageHook>();
        server_ = std::make_unique<test::TestHttpServer>();
        server_->AddFile("/new-ann.dat", std::string("Url_: ") + kPage + "\r\nID__: 6\r\n");
        options_ = {};
        options_.announce = {server_->Url("/new-ann.dat"), 0ms, {}, [this](const QString& url) { opened_ << url; }};
        opened_.clear();
    }

    void yesOpensThePageAndAShowingDuringACheckStartsNoOther()
    {
        CPelldraDlg* window = nullptr;
        bool onWindowsThread = false;
        options_.announce.ask = [&](QWidget* parent) {
            onWindowsThread = parent == window && QThread::currentThread() == qApp->thread();
            // Shown again while its check is running: that check stays the only one.
            window->hide();
            window->show();
            QApplication::processEvents();
            return AnnounceAnswer::Yes;
        };
        CPelldraDlg dlg(nullptr, options_);
        window = &dlg;
        dlg.show();
        QTRY_COMPARE_WITH_TIMEOUT(opened_, QStringList{QString::fromUtf8(kPage)}, 30000);
        QVERIFY(onWindowsThread);
        QCOMPARE(server_->RequestCount(), 1);
        QCOMPARE(CTavinRegKey("Software\\Tavin\\AutoAnn\\Pelldra").GetString("AnnID"), std::string("6"));
    }

    void aWindowClosingWhileTheQuestionIsUpTakesTheQuestionAlong()
    {
        auto dlg = std::make_unique<CPelldraDlg>(nullptr, options_);
        bool questionSeen = false;
        // The question runs its own event loop: the window is closed from within it.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            const auto questions = dlg->findChildren<CAnnounceDlg*>();
            if (!questions.isEmpty() && questions.first()->isVisible()) {
                questionSeen = true;
                dlg->done(QDialog::Accepted);
            }
        });
        poll.start(20);
        dlg->show();
        QTRY_VERIFY_WITH_TIMEOUT(questionSeen, 30000);
        QTRY_VERIFY(dlg->findChildren<CAnnounceDlg*>().isEmpty());
        dlg.reset();
        QVERIFY(opened_.isEmpty());
    }

    void cleanup() { QCOMPARE(messages_->Texts(), QStringList()); }

private:
    std::unique_ptr<test::TempEnv> env_;
    std::unique_ptr<MessageHook> messages_;
    std::unique_ptr<test::TestHttpServer> server_;
    CPelldraDlg::Options options_;
    QStringList opened_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::AnnounceTest)
#include "announce_test.moc"
