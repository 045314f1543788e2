// The help window and where it finds the manual.
#include "gui/app/help_window.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>

#include "core/platform/folders.h"
#include "gui/app/main_icons.h"
#include "gui/platform/window_place.h"

namespace pelldra {

namespace {

constexpr const char* kFirstPage = "index.html";

} // namespace

QString ManualFolder()
{
    return QDir::cleanPath(QString::fromStdString(GetExecutableFolder()) + QLatin1Char('/') +
                           QLatin1String(PELLDRA_INSTALLED_MANUAL_FOLDER));
}

QString ManualProblem(const QString& folder)
{
    const QString first = QDir(folder).filePath(QLatin1String(kFirstPage));
    return QFileInfo(first).isFile() ? QString() : QString::fromUtf8(kManualMissing) + first;
}

CHelpWindow::CHelpWindow(QWidget* parent, const QString& folder, UrlOpener opener)
    : QMainWindow(parent), folder_(QFileInfo(folder).canonicalFilePath()), opener_(std::move(opener))
{
    if (!opener_)
        opener_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    setObjectName(QStringLiteral("helpWindow"));
    // Its own window beside the main one, not a dialog over it: the user reads while working.
    setWindowFlag(Qt::Window, true);
    setWindowIcon(main_icons::Window());
    setWindowTitle(QString::fromUtf8(kTitle));

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    // Every link passes through OpenLink, which alone decides where it may lead.
    browser_->setOpenLinks(false);
    setCentralWidget(browser_);
    connect(browser_, &QTextBrowser::anchorClicked, this, &CHelpWindow::OpenLink);

    auto* bar = addToolBar(QStringLiteral("移動"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("戻る"), browser_,
                                   &QTextBrowser::backward);
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("進む"), browser_,
                                      &QTextBrowser::forward);
    bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("目次"), this,
                   &CHelpWindow::ShowContents);
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString page = browser_->documentTitle();
        setWindowTitle(page.isEmpty() ? QString::fromUtf8(kTitle)
                                      : page + QStringLiteral(" - ") + QString::fromUtf8(kTitle));
    });

    // Room for the manual's widest example command without a sideways scroll.
    resize(760, 640);
    ShowContents();
}

void CHelpWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (placed_)
        return; // shown again: where the user left it
    placed_ = true;
    const QWidget* main = parentWidget();
    PlaceWhollyOnScreen(*this, main && main->isVisible() ? main : nullptr);
}

void CHelpWindow::ShowContents()
{
    browser_->setSource(QUrl::fromLocalFile(QDir(folder_).filePath(QLatin1String(kFirstPage))));
}

bool CHelpWindow::InManual(const QUrl& url) const
{
    if (!url.isLocalFile() || folder_.isEmpty())
        return false;
    const QFileInfo file(url.toLocalFile());
    return file.isFile() && file.canonicalFilePath().startsWith(folder_ + QLatin1Char('/'));
}

void CHelpWindow::OpenLink(const QUrl& link)
{
    const QUrl target = browser_->source().resolved(link);
    const QString scheme = target.scheme();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        opener_(target);
    else if (InManual(target))
        browser_->setSource(target);
}

} // namespace pelldra
