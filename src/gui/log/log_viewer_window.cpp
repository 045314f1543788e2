// LogViewerWindow: the day choice, following the file, search and failure steps, and the state line.
#include "gui/log/log_viewer_window.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/engine/day_logs.h"
#include "core/platform/broadcast_names.h"
#include "gui/app/main_icons.h"
#include "gui/log/log_text_view.h"
#include "gui/platform/window_place.h"

namespace pelldra {

namespace {

constexpr int kNoticeMs = 4000;

QToolButton* Button(QWidget* parent, const char* name, const char* text, const char* tip)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QString::fromUtf8(text));
    b->setToolTip(QString::fromUtf8(tip));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

QString EncodingName(LogEncoding encoding)
{
    switch (encoding) {
    case LogEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case LogEncoding::Cp932:
        return QStringLiteral("シフトJIS");
    case LogEncoding::Unknown:
        break;
    }
    return QStringLiteral("文字コード不明");
}

} // namespace

LogViewerWindow::LogViewerWindow(const QString& path, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("logViewer"));
    setWindowIcon(main_icons::Window());
    BuildControls();
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LogViewerWindow::ReadMore);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        FillDays();
        ReadMore();
    });
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &LogViewerWindow::ReadMore);
    poll_.start();
    OpenPath(path);
    resize(860, 580);
}

LogViewerWindow::~LogViewerWindow() = default;

void LogViewerWindow::BuildControls()
{
    auto* central = new QWidget(this);
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(6, 6, 6, 0);
    auto* bar = new QHBoxLayout;
    root->addLayout(bar);

    auto* dayLabel = new QLabel(QStringLiteral("日付:"), central);
    days_ = new QComboBox(central);
    days_->setObjectName(QStringLiteral("dayBox"));
    days_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    days_->setToolTip(QStringLiteral("表示する日のログ"));
    dayLabel->setBuddy(days_);
    connect(days_, &QComboBox::activated, this, [this](int index) { OpenDay(days_->itemData(index).toString()); });
    bar->addWidget(dayLabel);
    bar->addWidget(days_);
    bar->addStretch(1);

    auto* findLabel = new QLabel(QStringLiteral("検索:"), central);
    find_ = new QLineEdit(central);
    find_->setObjectName(QStringLiteral("findEdit"));
    find_->setPlaceholderText(QStringLiteral("探す文字列"));
    find_->setClearButtonEnabled(true);
    find_->setMinimumWidth(200);
    findLabel->setBuddy(find_);
    findPrevious_ = Button(central, "findPrevious", "前へ", "前を検索 (Shift+F3)");
    findNext_ = Button(central, "findNext", "次へ", "次を検索 (F3, Enter)");
    connect(find_, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
    connect(findPrevious_, &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(findNext_, &QToolButton::clicked, this, [this] { FindNext(false); });
    bar->addWidget(findLabel);
    bar->addWidget(find_);
    bar->addWidget(findPrevious_);
    bar->addWidget(findNext_);
    bar->addSpacing(12);

    failurePrevious_ = Button(central, "failurePrevious", "前の失敗", "前の失敗行へ");
    failureNext_ = Button(central, "failureNext", "次の失敗", "次の失敗行へ");
    connect(failurePrevious_, &QToolButton::clicked, this, [this] { GoToFailure(true); });
    connect(failureNext_, &QToolButton::clicked, this, [this] { GoToFailure(false); });
    bar->addWidget(failurePrevious_);
    bar->addWidget(failureNext_);

    view_ = new LogTextView(central);
    view_->setObjectName(QStringLiteral("logText"));
    root->addWidget(view_, 1);
    setCentralWidget(central);

    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("stateLine"));
    statusBar()->addPermanentWidget(state_);

    auto* focusFind = new QShortcut(QKeySequence::Find, this);
    connect(focusFind, &QShortcut::activated, this, [this] {
        find_->setFocus();
        find_->selectAll();
    });
    auto* next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, [this] { FindNext(false); });
    auto* previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, [this] { FindNext(true); });
}

void LogViewerWindow::FollowBroadcast(const QString& name)
{
    if (name == QLatin1String(broadcast::kBossCome) && isVisible()) {
        hide();
        hiddenByBoss_ = true;
    } else if (name == QLatin1String(broadcast::kPopUp) && hiddenByBoss_) {
        show();
        hiddenByBoss_ = false;
    }
}

void LogViewerWindow::OpenDay(const QString& name)
{
    if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
        OpenPath(QDir(folder_).filePath(name));
}

void LogViewerWindow::OpenPath(const QString& path)
{
    const QFileInfo info(path);
    folder_ = info.absolutePath();
    name_ = info.fileName();
    follower_ = std::make_unique<LogFollower>(QFile::encodeName(info.absoluteFilePath()).toStdString());
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    view_->Clear();
    setWindowTitle(QStringLiteral("%1 - %2").arg(QLatin1String(kTitle), name_));
    FillDays();
    ReadMore();
}

void LogViewerWindow::FillDays()
{
    const QSignalBlocker quiet(days_);
    days_->clear();
    for (const std::string& name : ListDayLogs(QFile::encodeName(folder_).toStdString(), name_.toStdString())) {
        const QString file = QFile::decodeName(name.c_str());
        const QString date = QString::fromStdString(DayLogDate(name));
        days_->addItem(date.isEmpty() ? file : QStringLiteral("%1 (%2)").arg(date, file), file);
    }
    days_->setCurrentIndex(days_->findData(name_));
}

void LogViewerWindow::ReadMore()
{
    if (!follower_)
        return;
    view_->Show(follower_->Read());
    Watch();
    ShowState();
}

void LogViewerWindow::Watch()
{
    // A replaced or new file drops out of the watcher; the folder's notice brings it back.
    if (!watcher_.directories().contains(folder_))
        watcher_.addPath(folder_);
    const QString file = QDir(folder_).filePath(name_);
    if (follower_->Exists() && !watcher_.files().contains(file))
        watcher_.addPath(file);
}

void LogViewerWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!placed_) {
        placed_ = true;
        PlaceWhollyOnScreen(*this, nullptr);
    }
}

void LogViewerWindow::ShowState()
{
    const int failures = view_->FailureCount();
    failurePrevious_->setEnabled(failures > 0);
    failureNext_->setEnabled(failures > 0);
    if (!follower_->Exists()) {
        state_->setText(QStringLiteral("このログはまだありません。書き込まれると表示します"));
        return;
    }
    state_->setText(QStringLiteral("%1 行　失敗 %2 件　%3%4")
                        .arg(view_->LineCount())
                        .arg(failures)
                        .arg(EncodingName(follower_->Encoding()),
                             follower_->LeavesOutStart() ? QStringLiteral("　古い行は省略") : QString()));
}

void LogViewerWindow::FindNext(bool backward)
{
    const QString text = find_->text();
    if (!text.isEmpty() && !view_->Find(text, backward))
        statusBar()->showMessage(QStringLiteral("「%1」は見つかりません").arg(text), kNoticeMs);
}

void LogViewerWindow::GoToFailure(bool backward)
{
    if (!view_->GoToFailure(backward))
        statusBar()->showMessage(QStringLiteral("失敗の行はありません"), kNoticeMs);
}

} // namespace pelldra
