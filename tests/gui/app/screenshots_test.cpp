// Renders the main window (at start, series and list mode, idle and running), the small dialogs, Qt's own dialogs,
// the detail settings, the credentials dialogs, the queue's dialogs, LogViewer and the help window, checks that no
// control overlaps another or is cut off, and writes PNG files into $PELLDRA_SCREENSHOTS when it is set.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/credentials/ninsho_center.h"
#include "gui/announce/announce_dialog.h"
#include "gui/app/about_dialog.h"
#include "gui/app/help_window.h"
#include "gui/app/power_off_dialog.h"
#include "gui/credentials/auth_prompt.h"
#include "gui/credentials/credential_edit_dialog.h"
#include "gui/credentials/credential_list_dialog.h"
#include "gui/credentials/credential_manager.h"
#include "gui/credentials/login_dialog.h"
#include "gui/credentials/password_change_dialog.h"
#include "gui/log/log_edit.h"
#include "gui/log/log_text_view.h"
#include "gui/log/log_viewer_window.h"
#include "gui/platform/japanese_font.h"
#include "gui/platform/message_box.h"
#include "gui/platform/qt_translations.h"
#include "gui/queue/notice_popup.h"
#include "gui/queue/queue_summary_dialog.h"
#include "gui/queue/url_list_dialog.h"
#include "gui/settings/detail_dialog.h"
#include "gui/widgets/folder_browser.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

using namespace std::chrono_literals;

namespace pelldra {

namespace {

// Visible controls of a window that a user reads or presses (containers and layouts' helpers left out).
QList<QWidget*> Controls(QWidget* window)
{
    QList<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow() || w->inherits("QScrollBar") || w->inherits("QAbstractScrollArea") ||
            w->inherits("QSizeGrip") || w->inherits("QTabBar") || w->parentWidget()->inherits("QAbstractScrollArea") ||
            w->parentWidget()->inherits("QTabBar") || w->parentWidget()->inherits("QAbstractSpinBox") ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || w->inherits("QLineEdit") ||
            w->inherits("QTextEdit") || w->inherits("QPlainTextEdit") || w->inherits("QProgressBar") ||
            w->inherits("pelldra::CSpinArrows") || w->inherits("pelldra::CRunAnimation"))
            out << w;
    }
    return out;
}

QRect InWindow(QWidget* w)
{
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// Fails on two controls that overlap, a control outside its window, or a text that does not fit its control.
void CheckLayout(QWidget* window)
{
    QApplication::processEvents();
    const QList<QWidget*> controls = Controls(window);
    QVERIFY(!controls.isEmpty());
    for (QWidget* a : controls) {
        const QRect ra = InWindow(a);
        QVERIFY2(window->rect().contains(ra), qPrintable(a->objectName() + QStringLiteral(" leaves the window")));
        if (auto* label = qobject_cast<QLabel*>(a); label && !label->wordWrap() && !label->text().isEmpty())
            QVERIFY2(label->width() >= label->minimumSizeHint().width(),
                     qPrintable(QStringLiteral("cut off: ") + label->text()));
        if (auto* button = qobject_cast<QAbstractButton*>(a); button && !button->text().isEmpty())
            QVERIFY2(button->width() >= button->minimumSizeHint().width(),
                     qPrintable(QStringLiteral("cut off: ") + button->text()));
        for (QWidget* b : controls) {
            if (a == b || a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            const auto name = [](QWidget* w) {
                return w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
            };
            QVERIFY2(!ra.intersects(InWindow(b)), qPrintable(name(a) + QStringLiteral(" overlaps ") + name(b)));
        }
    }
}

void Save(QWidget* w, const char* name)
{
    QApplication::processEvents();
    const QPixmap shot = w->grab();
    QVERIFY(!shot.isNull());
    QVERIFY(shot.width() > 50 && shot.height() > 30);
    const QString folder = qEnvironmentVariable("PELLDRA_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".png"));
    QVERIFY2(shot.save(path), qPrintable(path));
}

} // namespace

class ScreenshotsTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // Each picture starts from a first start: nothing kept by the window before.
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }
    void mainWindowIdle();
    void mainWindowRunning();
    void dialogs();
    void detailSettings();
    void logViewerWithFailures();
    void queueDialogs();

private:
    std::unique_ptr<test::TempEnv> env_;
};

void ScreenshotsTest::initTestCase()
{
    UseJapaneseFont();
    UseJapaneseQtTexts();
}

void ScreenshotsTest::mainWindowIdle()
{
    CPelldraDlg dlg;
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    // The URL box has the focus and shows it with a frame.
    QVERIFY(dlg.UrlEdit()->hasFocus());
    Save(&dlg, "main-at-start");
    const QImage focused = dlg.UrlEdit()->grab().toImage();
    dlg.FolderEdit()->setFocus();
    QVERIFY(dlg.UrlEdit()->grab().toImage() != focused);
    QTest::keyClicks(dlg.UrlEdit(), QStringLiteral("http://www.example.com/gallery/vol03/pic015.jpg"));
    QTest::mouseClick(dlg.UpperCheck(), Qt::LeftButton);
    dlg.FolderEdit()->setText(QString::fromStdString(env_->makeFolder("downloads")));
    CheckLayout(&dlg);
    Save(&dlg, "main-series-idle");

    const QRect folderRow = InWindow(dlg.FolderEdit());
    const QRect log = InWindow(dlg.LogView());
    dlg.Tabs()->setCurrentIndex(1);
    dlg.ListPathEdit()->setText(QStringLiteral("/home/user/urls.lst"));
    QApplication::processEvents();
    CheckLayout(&dlg);
    // The folder row and the log stay where they were in the series mode.
    QCOMPARE(InWindow(dlg.FolderEdit()), folderRow);
    QCOMPARE(InWindow(dlg.LogView()), log);
    Save(&dlg, "main-list-idle");

    // Wider than its first size: the log and the edits take the room, the buttons stay by the right edge.
    dlg.Tabs()->setCurrentIndex(0);
    const QRect exitBefore = InWindow(dlg.ExitButton());
    const int rightGap = dlg.width() - exitBefore.right();
    dlg.resize(dlg.width() + 200, dlg.height() + 100);
    QApplication::processEvents();
    QCOMPARE(dlg.width() - InWindow(dlg.ExitButton()).right(), rightGap);
    CheckLayout(&dlg);
    // Never smaller than its first size.
    dlg.resize(100, 100);
    QApplication::processEvents();
    QVERIFY(dlg.width() >= exitBefore.right());
    CheckLayout(&dlg);
}

void ScreenshotsTest::mainWindowRunning()
{
    test::TestHttpServer server;
    auto open = std::make_shared<std::atomic<bool>>(false);
    server.AddFile("/vol1/p01.jpg", "picture", "image/jpeg");
    server.AddHandler("/vol1/p02.jpg", [open](const test::TestRequest&) {
        for (int i = 0; i < 500 && !*open; ++i)
            std::this_thread::sleep_for(10ms);
        return test::TestResponse{200, {}, "picture", "image/jpeg"};
    });
    MessageHook hook;
    {
        CPelldraDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClicks(dlg.UrlEdit(), QString::fromStdString(server.Url("/vol1/p01.jpg")));
        dlg.LowerTo()->setText(QStringLiteral("02"));
        dlg.FolderEdit()->setText(QString::fromStdString(env_->makeFolder("running")));
        dlg.StartButton()->click();
        QCOMPARE(dlg.RunState(), int(CPelldraDlg::kRunning));
        QTRY_VERIFY(dlg.LogView()->LineCount() >= 6);
        QTest::qWait(400); // a progress line and a few animation frames
        CheckLayout(&dlg);
        Save(&dlg, "main-series-running");
        dlg.OnStop();
        QTRY_COMPARE(dlg.RunState(), int(CPelldraDlg::kIdle));
    }
    *open = true;
}

void ScreenshotsTest::dialogs()
{
    QWidget owner;
    owner.resize(500, 360);
    owner.show();
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    const char* const rows[][4] = {{"写真館", "taro", "pass1", "http://www.example.com/members/"},
                                   {"", "guest", "guest", "http://photos.example.net/"},
                                   {"資料室", "hanako", "s3cret", "https://archive.example.org/library/vol1/"}};
    for (const auto& row : rows) {
        CAuthRecord r;
        r.SetSiteName(row[0]), r.SetUserId(row[1]), r.SetPassword(row[2]), r.SetSiteUrl(row[3]);
        int index = 0;
        store.Add(r, index);
    }
    CAuthRecord current = store.GetAt(0);
    const QString chooserFolder = QString::fromStdString(env_->makeFolder("chooser"));
    using Make = std::function<QWidget*()>;
    // Picture name, the window, and how long it fills in before the picture (Qt's own dialogs: no layout check).
    const std::tuple<const char*, Make, int> shots[] = {
        {"notice-popup",
         [&] {
             auto* n = new CNoticePopup(&owner);
             n->ShowNotice(0);
             return n;
         },
         0},
        {"auth-prompt",
         [&] { return new CAuthPromptDlg(&owner, QStringLiteral("http://www.example.com/members/pic001.jpg"), 0ms); },
         0},
        {"power-off-countdown", [&] { return new CPowerOffDlg(&owner, 1h); }, 0},
        {"about-box", [&] { return new CAboutDlg(&owner); }, 0},
        {"announce-question", [&] { return new CAnnounceDlg(&owner); }, 0},
        {"help-window", [] { return new CHelpWindow(nullptr, QStringLiteral(PELLDRA_SOURCE_MANUAL)); }, 0},
        {"credentials-login-setup",
         [&] {
             return new CLoginDlg(&owner, {"", "pw"});
         },
         0},
        {"credentials-login",
         [&] {
             return new CLoginDlg(&owner, {"taro", "pw"});
         },
         0},
        {"credentials-password-change", [&] { return new CPasswordChangeDlg(&owner, "pw"); }, 0},
        {"credentials-list", [&] { return new CCredentialListDlg(&owner, store, current); }, 0},
        {"credentials-edit", [&] { return new CCredentialEditDlg(&owner, current); }, 0},
        {"folder-chooser", [&] { return new CFolderBrowser(&owner, chooserFolder); }, 800},
        {"qt-file-chooser",
         [&] {
             auto* chooser =
                 new QFileDialog(&owner, QString::fromUtf8(CPelldraDlg::kListChooserTitle), QDir::homePath());
             chooser->setOption(QFileDialog::DontUseNativeDialog);
             return chooser;
         },
         400},
    };
    for (const auto& [name, make, settle] : shots) {
        const std::unique_ptr<QWidget> window(make());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        if (settle)
            QTest::qWait(settle);
        else
            CheckLayout(window.get());
        Save(window.get(), name);
        if (QTest::currentTestFailed())
            return qWarning("in the picture %s", name);
    }
}

void ScreenshotsTest::detailSettings()
{
    QWidget owner;
    owner.resize(500, 360);
    owner.show();
    CSeqUrl url;
    CSeqUrl referer;
    referer.SetMaster(&url);
    url.SetText("http://www.example.com/gallery/vol03/pic015.jpg");
    url.SetUpperEnabled(true);
    DetailSettings settings;
    settings.Referer = "http://www.example.com/gallery/vol03/index015.html";
    settings.syncFlags = 1;
    settings.UseProxy = 1, settings.ProxyHost = "proxy.example.com", settings.ProxyPort = "8080";
    settings.AuthUser = "taro", settings.AuthPassword = "secret";
    CCredentialManager credentials(&owner, {});
    CDetailDlg dialog(&owner, settings, referer, credentials, {});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CheckLayout(&dialog);
    Save(&dialog, "detail-settings");

    // Wider: the Referer box takes the room, keeping its left edge and its distance to the right edge.
    QWidget* box = dialog.findChild<QWidget*>(QStringLiteral("refererEdit"));
    const QRect before = InWindow(box);
    const int rightGap = dialog.width() - before.right();
    dialog.resize(dialog.width() + 200, dialog.height());
    QApplication::processEvents();
    QCOMPARE(InWindow(box).left(), before.left());
    QCOMPARE(dialog.width() - InWindow(box).right(), rightGap);
    CheckLayout(&dialog);
    // Never narrower than at the first showing.
    dialog.resize(100, 100);
    QApplication::processEvents();
    QVERIFY(InWindow(box).width() >= before.width());
}

void ScreenshotsTest::logViewerWithFailures()
{
    const std::string folder = env_->makeFolder("viewer");
    std::string log = "  Logの開始\r\n  Target: http://www.example.com/gallery/vol03/pic***.jpg\r\n"
                      "  保存用フォルダは: /home/user/ダウンロード/gallery\r\n";
    for (int n = 1; n <= 9; ++n) {
        const std::string name = "pic00" + std::to_string(n) + ".jpg";
        log += "http://www.example.com/gallery/vol03/" + name + "\r\n    downloading....\r\n    受信側：\r\n" +
               "/home/user/ダウンロード/gallery/" + name + "\r\n" +
               (n == 4   ? "   失敗［status=404］\r\n"
                : n == 7 ? "   失敗［status=2］\r\n    サーバー応答がタイムアウトです\r\n"
                         : "    成功\r\n");
    }
    log += "    全て終了\r\n    成功／要求数 = 7回／9回\r\n";
    QVERIFY(test::WriteFile(folder + "/260304.log", "  Logの開始\r\n"));
    QVERIFY(test::WriteFile(folder + "/260305.log", log));
    LogViewerWindow viewer(QString::fromStdString(folder + "/260305.log"));
    viewer.resize(760, 680); // the newest lines, both failures among them
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCOMPARE(viewer.View()->FailureCount(), 2);
    CheckLayout(&viewer);
    Save(&viewer, "logviewer-failures");
}

void ScreenshotsTest::queueDialogs()
{
    QWidget owner;
    owner.resize(500, 360);
    owner.show();

    const std::vector<std::string> lines = {
        "Refe: http://photos.example.net/album12/",      "Targ: http://photos.example.net/album12/img001.jpg",
        "Dest: /home/taro/Pictures/img001.jpg",          "Targ: http://photos.example.net/album12/img002.jpg",
        "Dest: /home/taro/Pictures/img002.jpg",          "Targ: http://photos.example.net/album12/img003.jpg",
        "Dest: /home/taro/Pictures/img003.jpg",          "Refe: http://www.example.com/",
        "Targ: http://www.example.com/files/manual.pdf", "Dest: /home/taro/Pictures/manual.pdf"};
    CUrlListDlg view(&owner, lines, QStringLiteral("URLリスト  album12.lst"), QStringLiteral("/home/taro/Pictures/"));
    view.show();
    CheckLayout(&view);
    Save(&view, "url-list");
    view.hide();

    CWaitQueue queue(env_->makeFolder("queue"));
    const std::pair<const char*, const char*> orders[] = {
        {"http://photos.example.net/album12/img*.jpg", "/home/taro/Pictures/album12/"},
        {"/home/taro/lists/manuals.lst", "/home/taro/Documents"},
        {"http://www.example.com/downloads.html", "/home/taro/Downloads"},
        {"http://photos.example.net/gallery/index.html", "/home/taro/Pictures/gallery"},
        {"http://www.example.org/vol*/p*.png", "/home/taro/Pictures/vol/"}};
    int kind = 0; // each kind in turn, then a second series
    for (const auto& [what, folder] : orders) {
        CQueueItem item;
        item.Kind = kind++ % 4;
        item.job.Targ = item.Lst = item.Page = what;
        item.Fol = folder;
        QCOMPARE(queue.Append(item), 0);
    }
    CQueueSummaryDlg summary(&owner, queue, true);
    QVERIFY(summary.Load());
    summary.show();
    summary.List()->topLevelItem(1)->setSelected(true);
    CheckLayout(&summary);
    Save(&summary, "queue-summary");
}

} // namespace pelldra

QTEST_MAIN(pelldra::ScreenshotsTest)
#include "screenshots_test.moc"
