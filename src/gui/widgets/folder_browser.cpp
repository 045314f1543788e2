// The folder chooser with subfolder making.
#include "gui/widgets/folder_browser.h"

#include "gui/platform/message_box.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace pelldra {

namespace {

bool IsFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

CFolderBrowser::CFolderBrowser(QWidget* parent, const QString& initialFolder) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    status_ = new QLabel(QString::fromUtf8(kStatusText), this);
    status_->setWordWrap(true);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath(QDir::rootPath());

    tree_ = new QTreeView(this);
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    tree_->setMinimumSize(320, 300);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        currentFolder_ = current.isValid() ? model_->filePath(current) : QString();
    });

    name_ = new QLineEdit(this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFolderBrowser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFolderBrowser::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(tree_, 1);
    layout->addWidget(name_);
    layout->addWidget(buttons);

    if (IsFolder(initialFolder))
        ScrollToWhenRead(QFileInfo(initialFolder).absoluteFilePath());
}

void CFolderBrowser::ScrollToWhenRead(const QString& path)
{
    SelectFolder(path);
    // The model reads the folders in the background, one level at a time, and sorts each level after it came in:
    // every level read or sorted can push the folder out of view again. The tree follows it until the user moves on.
    const auto follow = [this, path] {
        const QModelIndex index = model_->index(path);
        if (index.isValid() && tree_->currentIndex() == index)
            tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    };
    following_ = {connect(model_, &QFileSystemModel::directoryLoaded, this, follow),
                  connect(model_, &QAbstractItemModel::layoutChanged, this, follow)};
    connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        for (const QMetaObject::Connection& c : following_)
            disconnect(c);
    });
}

void CFolderBrowser::SelectFolder(const QString& path)
{
    const QModelIndex index = model_->index(path);
    if (!index.isValid())
        return;
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
    tree_->expand(index);
    currentFolder_ = model_->filePath(index);
}

QString CFolderBrowser::Run()
{
    chosen_.clear();
    if (exec() != QDialog::Accepted)
        return QString();
    return chosen_;
}

void CFolderBrowser::accept()
{
    const QString typed = name_->text().trimmed();
    if (typed.isEmpty()) {
        if (currentFolder_.isEmpty())
            return;
        chosen_ = currentFolder_;
        QDialog::accept();
        return;
    }
    if (TakeTypedName(typed))
        QDialog::accept();
}

bool CFolderBrowser::TakeTypedName(const QString& typed)
{
    // An existing folder wins, so "/tmp" typed means /tmp and not a subfolder named tmp.
    const QString inside = currentFolder_.isEmpty() ? QString() : QDir(currentFolder_).filePath(typed);
    for (const QString& candidate : {QDir::isAbsolutePath(typed) ? typed : QString(), inside}) {
        if (IsFolder(candidate)) {
            chosen_ = QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
            return true;
        }
    }

    const qsizetype slash = typed.indexOf(QRegularExpression(QStringLiteral("[/\\\\]")));
    if (currentFolder_.isEmpty() || slash < 0) {
        name_->selectAll();
        name_->setFocus();
        return false;
    }
    // Back slashes after the first one separate folders too.
    QString name = typed.mid(slash + 1);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString question = QString::fromUtf8(kMakeQuestion).arg(currentFolder_, name);
    if (ShowMessage(this, question, QString(), MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;

    const QString made = QDir(currentFolder_).filePath(name);
    if (name.isEmpty() || ::mkdir(QFile::encodeName(made).constData(), 0777) != 0) {
        ShowMessage(this, QString::fromUtf8(kMakeFailed));
        return false;
    }
    // Start again in the new folder, as a freshly opened browser would.
    name_->clear();
    SelectFolder(QDir::cleanPath(made));
    return false;
}

} // namespace pelldra
