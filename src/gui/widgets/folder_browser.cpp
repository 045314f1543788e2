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

    m_status = new QLabel(QString::fromUtf8(kStatusText), this);
    m_status->setWordWrap(true);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());

    m_tree = new QTreeView(this);
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->setMinimumSize(320, 300);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        m_currentFolder = current.isValid() ? m_model->filePath(current) : QString();
    });

    m_name = new QLineEdit(this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFolderBrowser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFolderBrowser::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_name);
    layout->addWidget(buttons);

    if (IsFolder(initialFolder))
        SelectFolder(QFileInfo(initialFolder).absoluteFilePath());
}

void CFolderBrowser::SelectFolder(const QString& path)
{
    const QModelIndex index = m_model->index(path);
    if (!index.isValid())
        return;
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    m_tree->expand(index);
    m_currentFolder = m_model->filePath(index);
}

QString CFolderBrowser::Run()
{
    m_chosen.clear();
    if (exec() != QDialog::Accepted)
        return QString();
    return m_chosen;
}

void CFolderBrowser::accept()
{
    const QString typed = m_name->text().trimmed();
    if (typed.isEmpty()) {
        if (m_currentFolder.isEmpty())
            return;
        m_chosen = m_currentFolder;
        QDialog::accept();
        return;
    }
    if (TakeTypedName(typed))
        QDialog::accept();
}

bool CFolderBrowser::TakeTypedName(const QString& typed)
{
    // An existing folder wins, so "/tmp" typed means /tmp and not a subfolder named tmp.
    const QString inside = m_currentFolder.isEmpty() ? QString() : QDir(m_currentFolder).filePath(typed);
    for (const QString& candidate : {QDir::isAbsolutePath(typed) ? typed : QString(), inside}) {
        if (IsFolder(candidate)) {
            m_chosen = QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
            return true;
        }
    }

    const qsizetype slash = typed.indexOf(QRegularExpression(QStringLiteral("[/\\\\]")));
    if (m_currentFolder.isEmpty() || slash < 0) {
        m_name->selectAll();
        m_name->setFocus();
        return false;
    }
    // Back slashes after the first one separate folders too.
    QString name = typed.mid(slash + 1);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString question = QString::fromUtf8(kMakeQuestion).arg(m_currentFolder, name);
    if (ShowMessage(this, question, QString(), MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;

    const QString made = QDir(m_currentFolder).filePath(name);
    if (name.isEmpty() || ::mkdir(QFile::encodeName(made).constData(), 0777) != 0) {
        ShowMessage(this, QString::fromUtf8(kMakeFailed));
        return false;
    }
    // Start again in the new folder, as a freshly opened browser would.
    m_name->clear();
    SelectFolder(QDir::cleanPath(made));
    return false;
}

} // namespace pelldra
