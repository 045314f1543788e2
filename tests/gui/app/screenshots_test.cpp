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

#include <chrono>
#include <functional>

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
#include "support/main_window.h"
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
    QVERIFY(shot.width() > 50 && shot.height() > 30);
    const QString folder = qEnvironmentVariable("PELLDRA_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".png"));
    QVERIFY2(shot.save(path), qPrintable(path));
}

// Wider, `growing` takes the room, keeping its left edge and its distance to the right edge; never narrower than at
// the first showing.
void CheckGrowing(QWidget* window, QWidget* growing)
{
    QVERIFY(growing);
    const QRect before = InWindow(growing);
    const int rightGap = window->width() - before.right();
    window->resize(window->width() + 200, window->height() + 100);
    QApplication::processEvents();
    QCOMPARE(InWindow(growing).left(), before.left());
    QCOMPARE(window->width() - InWindow(growing).right(), rightGap);
    CheckLayout(window);
    window->resize(100, 100);
    QApplication::processEvents();
    QVERIFY(InWindow(growing).width() >= before.width());
    CheckLayout(window);
}

// Records a failed check in a scene that goes on to give its window.
#define CHECK(cond) QTest::qVerify(static_cast<bool>(cond), #cond, "", __FILE__, __LINE__)

} // namespace

class ScreenshotsTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseJapaneseFont();
        UseJapaneseQtTexts();
    }
    void scenes();
};

void ScreenshotsTest::scenes()
{
    const test::TempEnv env; // a first start: nothing kept by a window before
    QWidget owner;
    owner.resize(500, 360);
    owner.show();

    // A running series: its second file held until the picture is taken.
    test::TestHttpServer server;
    test::Gate gate;
    server.AddFile("/vol1/p01.jpg", "picture", "image/jpeg");
    server.AddHandler("/vol1/p02.jpg", gate.Handler("picture"));
    MessageHook hook;
    CPelldraDlg main;
    CPelldraDlg running;

    CNinshoCenter store{CNinshoCenter::InMemory{}};
    const char* const rows[][4] = {{"写真館", "taro", "pass1", "http://www.example.com/members/"},
                                   {"", "guest", "guest", "http://photos.example.net/"},
                                   {"資料室", "hanako", "s3cret", "https://archive.example.org/library/vol1/"}};
    int index = 0;
    for (const auto& row : rows) {
        CAuthRecord r;
        r.SetSiteName(row[0]), r.SetUserId(row[1]), r.SetPassword(row[2]), r.SetSiteUrl(row[3]);
        store.Add(r, index);
    }
    CAuthRecord current = store.GetAt(0);
    const LoginValues setup{"", "pw"}, login{"taro", "pw"};

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

    const std::string logs = env.makeFolder("viewer");
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
    QVERIFY(test::WriteFile(logs + "/260304.log", "  Logの開始\r\n"));
    QVERIFY(test::WriteFile(logs + "/260305.log", log));

    std::vector<std::string> listed{"Refe: http://photos.example.net/album12/"};
    for (const char* n : {"001", "002", "003"})
        listed.insert(listed.end(), {std::string("Targ: http://photos.example.net/album12/img") + n + ".jpg",
                                     std::string("Dest: /home/taro/Pictures/img") + n + ".jpg"});
    listed.insert(listed.end(), {"Refe: http://www.example.com/", "Targ: http://www.example.com/files/manual.pdf",
                                 "Dest: /home/taro/Pictures/manual.pdf"});

    CWaitQueue queue(env.makeFolder("queue"));
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

    // The picture's name, what brings its window up, how long it fills in first (Qt's own dialogs, no layout check),
    // and the control that takes the room when the window grows.
    const struct
    {
        const char* name;
        std::function<QWidget*()> make;
        int settle = 0;
        const char* growing = nullptr;
    } scenes[] = {
        {"main-at-start",
         [&] {
             main.show();
             main.activateWindow();
             CHECK(QTest::qWaitForWindowActive(&main));
             // The URL box has the focus and shows it with a frame.
             CHECK(main.UrlEdit()->hasFocus());
             const QImage focused = main.UrlEdit()->grab().toImage();
             main.FolderEdit()->setFocus();
             CHECK(main.UrlEdit()->grab().toImage() != focused);
             main.UrlEdit()->setFocus();
             return &main;
         }},
        {"main-series-idle",
         [&] {
             QTest::keyClicks(main.UrlEdit(), QStringLiteral("http://www.example.com/gallery/vol03/pic015.jpg"));
             QTest::mouseClick(main.UpperCheck(), Qt::LeftButton);
             main.FolderEdit()->setText(test::Q(env.makeFolder("downloads")));
             return &main;
         }},
        {"main-list-idle",
         [&] {
             // The folder row and the log stay where they were in the series mode.
             const QRect folderRow = InWindow(main.FolderEdit());
             const QRect logView = InWindow(main.LogView());
             main.Tabs()->setCurrentIndex(1);
             main.ListPathEdit()->setText(QStringLiteral("/home/user/urls.lst"));
             QApplication::processEvents();
             CHECK(InWindow(main.FolderEdit()) == folderRow && InWindow(main.LogView()) == logView);
             return &main;
         },
         0, "logView"},
        {"main-series-running",
         [&] {
             running.show();
             CHECK(QTest::qWaitForWindowExposed(&running));
             QTest::keyClicks(running.UrlEdit(), test::Q(server.Url("/vol1/p01.jpg")));
             running.LowerTo()->setText(QStringLiteral("02"));
             running.FolderEdit()->setText(test::Q(env.makeFolder("running")));
             running.StartButton()->click();
             CHECK(running.RunState() == CPelldraDlg::kRunning);
             CHECK(QTest::qWaitFor([&] { return running.LogView()->LineCount() >= 6; }, 15000));
             QTest::qWait(400); // a progress line and a few animation frames
             return &running;
         }},
        {"notice-popup",
         [&] {
             auto* n = new CNoticePopup(&owner);
             n->ShowNotice(0);
             return n;
         }},
        {"auth-prompt",
         [&] { return new CAuthPromptDlg(&owner, QStringLiteral("http://www.example.com/members/pic001.jpg"), 0ms); }},
        {"power-off-countdown", [&] { return new CPowerOffDlg(&owner, 1h); }},
        {"about-box", [&] { return new CAboutDlg(&owner); }},
        {"announce-question", [&] { return new CAnnounceDlg(&owner); }},
        {"help-window", [&] { return new CHelpWindow(&owner, QStringLiteral(PELLDRA_SOURCE_MANUAL)); }},
        {"credentials-login-setup", [&] { return new CLoginDlg(&owner, setup); }},
        {"credentials-login", [&] { return new CLoginDlg(&owner, login); }},
        {"credentials-password-change", [&] { return new CPasswordChangeDlg(&owner, "pw"); }},
        {"credentials-list", [&] { return new CCredentialListDlg(&owner, store, current); }},
        {"credentials-edit", [&] { return new CCredentialEditDlg(&owner, current); }},
        {"folder-chooser", [&] { return new CFolderBrowser(&owner, test::Q(env.makeFolder("chooser"))); }, 800},
        {"qt-file-chooser",
         [&] {
             auto* chooser =
                 new QFileDialog(&owner, QString::fromUtf8(CPelldraDlg::kListChooserTitle), QDir::homePath());
             chooser->setOption(QFileDialog::DontUseNativeDialog);
             return chooser;
         },
         400},
        {"detail-settings", [&] { return new CDetailDlg(&owner, settings, referer, credentials, {}); }, 0,
         "refererEdit"},
        {"logviewer-failures",
         [&] {
             auto* viewer = new LogViewerWindow(test::Q(logs + "/260305.log"), &owner);
             viewer->resize(760, 680); // the newest lines, both failures among them
             return viewer;
         }},
        {"url-list",
         [&] {
             return new CUrlListDlg(&owner, listed, QStringLiteral("URLリスト  album12.lst"),
                                    QStringLiteral("/home/taro/Pictures/"));
         }},
        {"queue-summary",
         [&] {
             auto* summary = new CQueueSummaryDlg(&owner, queue, true);
             CHECK(summary->Load());
             summary->List()->topLevelItem(1)->setSelected(true);
             return summary;
         }},
    };
    for (const auto& scene : scenes) {
        QWidget* window = scene.make();
        window->show();
        CHECK(QTest::qWaitForWindowExposed(window));
        if (scene.settle)
            QTest::qWait(scene.settle);
        else
            CheckLayout(window);
        Save(window, scene.name);
        if (scene.growing)
            CheckGrowing(window, window->findChild<QWidget*>(QLatin1String(scene.growing)));
        if (QTest::currentTestFailed())
            return qWarning("in the picture %s", scene.name);
        if (window != &main)
            window->hide();
    }
    QVERIFY(hook.Texts().isEmpty());
}

} // namespace pelldra

QTEST_MAIN(pelldra::ScreenshotsTest)
#include "screenshots_test.moc"
