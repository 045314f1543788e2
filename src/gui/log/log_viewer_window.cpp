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
#include "gui/app/main_icons.h"
#include "gui/log/log_text_view.h"

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
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &LogViewerWindow::ReadMore);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        FillDays();
        ReadMore();
    });
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &LogViewerWindow::ReadMore);
    m_poll.start();
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
    m_days = new QComboBox(central);
    m_days->setObjectName(QStringLiteral("dayBox"));
    m_days->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_days->setToolTip(QStringLiteral("表示する日のログ"));
    dayLabel->setBuddy(m_days);
    connect(m_days, &QComboBox::activated, this, [this](int index) { OpenDay(m_days->itemData(index).toString()); });
    bar->addWidget(dayLabel);
    bar->addWidget(m_days);
    bar->addStretch(1);

    auto* findLabel = new QLabel(QStringLiteral("検索:"), central);
    m_find = new QLineEdit(central);
    m_find->setObjectName(QStringLiteral("findEdit"));
    m_find->setPlaceholderText(QStringLiteral("探す文字列"));
    m_find->setClearButtonEnabled(true);
    m_find->setMinimumWidth(200);
    findLabel->setBuddy(m_find);
    m_findPrevious = Button(central, "findPrevious", "前へ", "前を検索 (Shift+F3)");
    m_findNext = Button(central, "findNext", "次へ", "次を検索 (F3, Enter)");
    connect(m_find, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
    connect(m_findPrevious, &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(m_findNext, &QToolButton::clicked, this, [this] { FindNext(false); });
    bar->addWidget(findLabel);
    bar->addWidget(m_find);
    bar->addWidget(m_findPrevious);
    bar->addWidget(m_findNext);
    bar->addSpacing(12);

    m_failurePrevious = Button(central, "failurePrevious", "前の失敗", "前の失敗行へ");
    m_failureNext = Button(central, "failureNext", "次の失敗", "次の失敗行へ");
    connect(m_failurePrevious, &QToolButton::clicked, this, [this] { GoToFailure(true); });
    connect(m_failureNext, &QToolButton::clicked, this, [this] { GoToFailure(false); });
    bar->addWidget(m_failurePrevious);
    bar->addWidget(m_failureNext);

    m_view = new LogTextView(central);
    m_view->setObjectName(QStringLiteral("logText"));
    root->addWidget(m_view, 1);
    setCentralWidget(central);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("stateLine"));
    statusBar()->addPermanentWidget(m_state);

    auto* focusFind = new QShortcut(QKeySequence::Find, this);
    connect(focusFind, &QShortcut::activated, this, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    auto* next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, [this] { FindNext(false); });
    auto* previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, [this] { FindNext(true); });
}

void LogViewerWindow::OpenDay(const QString& name)
{
    if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
        OpenPath(QDir(m_folder).filePath(name));
}

void LogViewerWindow::OpenPath(const QString& path)
{
    const QFileInfo info(path);
    m_folder = info.absolutePath();
    m_name = info.fileName();
    m_follower = std::make_unique<LogFollower>(QFile::encodeName(info.absoluteFilePath()).toStdString());
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    m_view->Clear();
    setWindowTitle(QStringLiteral("%1 - %2").arg(QLatin1String(kTitle), m_name));
    FillDays();
    ReadMore();
}

void LogViewerWindow::FillDays()
{
    const QSignalBlocker quiet(m_days);
    m_days->clear();
    for (const std::string& name : ListDayLogs(QFile::encodeName(m_folder).toStdString(), m_name.toStdString())) {
        const QString file = QFile::decodeName(name.c_str());
        const QString date = QString::fromStdString(DayLogDate(name));
        m_days->addItem(date.isEmpty() ? file : QStringLiteral("%1 (%2)").arg(date, file), file);
    }
    m_days->setCurrentIndex(m_days->findData(m_name));
}

void LogViewerWindow::ReadMore()
{
    if (!m_follower)
        return;
    m_view->Show(m_follower->Read());
    Watch();
    ShowState();
}

void LogViewerWindow::Watch()
{
    // A replaced or new file drops out of the watcher; the folder's notice brings it back.
    if (!m_watcher.directories().contains(m_folder))
        m_watcher.addPath(m_folder);
    const QString file = QDir(m_folder).filePath(m_name);
    if (m_follower->Exists() && !m_watcher.files().contains(file))
        m_watcher.addPath(file);
}

void LogViewerWindow::ShowState()
{
    const int failures = m_view->FailureCount();
    m_failurePrevious->setEnabled(failures > 0);
    m_failureNext->setEnabled(failures > 0);
    if (!m_follower->Exists()) {
        m_state->setText(QStringLiteral("このログはまだありません。書き込まれると表示します"));
        return;
    }
    m_state->setText(QStringLiteral("%1 行　失敗 %2 件　%3")
                         .arg(m_view->LineCount())
                         .arg(failures)
                         .arg(EncodingName(m_follower->Encoding())));
}

void LogViewerWindow::FindNext(bool backward)
{
    const QString text = m_find->text();
    if (!text.isEmpty() && !m_view->Find(text, backward))
        statusBar()->showMessage(QStringLiteral("「%1」は見つかりません").arg(text), kNoticeMs);
}

void LogViewerWindow::GoToFailure(bool backward)
{
    if (!m_view->GoToFailure(backward))
        statusBar()->showMessage(QStringLiteral("失敗の行はありません"), kNoticeMs);
}

} // namespace pelldra
