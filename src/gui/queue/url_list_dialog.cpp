// CUrlListDlg: the rows of a URL list, the folder box, and Esc handed to the main window.
#include "gui/queue/url_list_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/queue/queue_view.h"

namespace pelldra {

CUrlListDlg::CUrlListDlg(QWidget* parent, const std::vector<std::string>& lines, const QString& title,
                         const QString& folder)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("urlListDialog"));
    setSizeGripEnabled(true);
    auto* root = new QVBoxLayout(this);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("urlList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({QStringLiteral("URL"), QStringLiteral("Referer")});
    list_->header()->resizeSection(0, 280);
    list_->header()->resizeSection(1, 280);
    list_->setMinimumSize(580, 240);
    QList<QTreeWidgetItem*> rows;
    for (const UrlListRow& row : UrlListRows(lines))
        rows.append(new QTreeWidgetItem({QString::fromStdString(row.url), QString::fromStdString(row.referer)}));
    list_->addTopLevelItems(rows);
    root->addWidget(list_, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("保存フォルダ"), this));
    folder_ = new QLineEdit(folder, this);
    folder_->setObjectName(QStringLiteral("listFolder"));
    folder_->setEnabled(!folder.isEmpty());
    bottom->addWidget(folder_, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    root->addLayout(bottom);

    setWindowTitle(title.isEmpty() ? QString::fromUtf8(kTitle) : title);
}

QString CUrlListDlg::Folder() const
{
    return folder_->text();
}

void CUrlListDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit CancelCommand();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace pelldra
