// The list of stored site credentials.
#include "gui/credentials/credential_list_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "core/credentials/ninsho_center.h"
#include "gui/credentials/credential_edit_dialog.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/plain_button.h"

namespace pelldra {

CCredentialListDlg::CCredentialListDlg(QWidget* parent, CNinshoCenter& store, CAuthRecord& current)
    : QDialog(parent), store_(store), current_(current)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("credentialList"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QStringLiteral("サイト名称"), QStringLiteral("ユーザーID"), QStringLiteral("パスワード"),
                             QStringLiteral("サイトＵＲＬ")});
    const int widths[] = {100, 100, 100, 280};
    for (int i = 0; i < 4; ++i)
        list_->header()->resizeSection(i, widths[i]);
    list_->setMinimumWidth(100 + 100 + 100 + 280 + 2 * list_->frameWidth());
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CCredentialListDlg::EditSelected);

    edit_ = PlainButton(this, "editRecord", "既存データを修正");
    addCurrent_ = PlainButton(this, "addCurrent", "現在の認証データを追加");
    addNew_ = PlainButton(this, "addNew", "新規認証データ追加");
    delete_ = PlainButton(this, "deleteRecords", "削除");
    close_ = PlainButton(this, "closeList", "閉じる");
    connect(edit_, &QPushButton::clicked, this, &CCredentialListDlg::EditSelected);
    connect(addCurrent_, &QPushButton::clicked, this, &CCredentialListDlg::AddCurrent);
    connect(addNew_, &QPushButton::clicked, this, &CCredentialListDlg::AddNew);
    connect(delete_, &QPushButton::clicked, this, &CCredentialListDlg::DeleteSelected);
    connect(close_, &QPushButton::clicked, this, &CCredentialListDlg::accept);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {edit_, addCurrent_, addNew_, delete_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    ShowRecords();
}

void CCredentialListDlg::ShowRecords(int current)
{
    shown_.clear();
    list_->clear();
    const int count = store_.GetCount();
    for (int i = 0; i < count; ++i) {
        const CAuthRecord r = store_.GetAt(i);
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(r.GetSiteName()));
        item->setText(1, QString::fromStdString(r.GetUserId()));
        item->setText(2, QString::fromStdString(r.GetPassword()));
        item->setText(3, QString::fromStdString(r.GetSiteUrl()));
        shown_.push_back(r);
    }
    if (current >= 0 && current < list_->topLevelItemCount())
        list_->scrollToItem(list_->topLevelItem(current));
}

std::vector<int> CCredentialListDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool CCredentialListDlg::EditAndAdd(CAuthRecord& record)
{
    CCredentialEditDlg editor(this, record);
    if (editor.exec() != QDialog::Accepted)
        return false;
    record = editor.Record();
    int index = -1;
    if (store_.Add(record, index) >= 0) {
        store_.Save();
        // The save takes in what another program saved meanwhile, which may move the record.
        for (int i = 0; i < store_.GetCount(); ++i)
            if (store_.GetAt(i).GetSiteUrl() == record.GetSiteUrl())
                index = i;
        ShowRecords(index);
    }
    return true;
}

void CCredentialListDlg::EditSelected()
{
    const std::vector<int> selected = SelectedRows();
    int row = selected.empty() ? -1 : selected.front();
    if (row < 0) {
        if (shown_.size() > 1)
            ShowMessage(this, QString::fromUtf8(kSelectItem));
        if (shown_.size() != 1)
            return;
        row = 0;
    }
    CAuthRecord record = shown_[static_cast<size_t>(row)];
    EditAndAdd(record);
}

void CCredentialListDlg::AddCurrent()
{
    CAuthRecord record = current_;
    if (EditAndAdd(record))
        current_ = record;
}

void CCredentialListDlg::AddNew()
{
    CAuthRecord record;
    EditAndAdd(record);
}

void CCredentialListDlg::DeleteSelected()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.empty())
        return;
    for (const int row : selected)
        store_.RemoveSiteUrl(shown_[static_cast<size_t>(row)].GetSiteUrl());
    store_.Save();
    ShowRecords();
}

} // namespace pelldra
