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

namespace pelldra {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* text)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

CCredentialListDlg::CCredentialListDlg(QWidget* parent, CNinshoCenter& store, CAuthRecord& current)
    : QDialog(parent), m_store(store), m_current(current)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("credentialList"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QStringLiteral("サイト名称"), QStringLiteral("ユーザーID"), QStringLiteral("パスワード"),
                             QStringLiteral("サイトＵＲＬ")});
    const int widths[] = {100, 100, 100, 280};
    for (int i = 0; i < 4; ++i)
        m_list->header()->resizeSection(i, widths[i]);
    m_list->setMinimumWidth(100 + 100 + 100 + 280 + 2 * m_list->frameWidth());
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CCredentialListDlg::EditSelected);

    m_edit = Button(this, "editRecord", "既存データを修正");
    m_addCurrent = Button(this, "addCurrent", "現在の認証データを追加");
    m_addNew = Button(this, "addNew", "新規認証データ追加");
    m_delete = Button(this, "deleteRecords", "削除");
    m_close = Button(this, "closeList", "閉じる");
    connect(m_edit, &QPushButton::clicked, this, &CCredentialListDlg::EditSelected);
    connect(m_addCurrent, &QPushButton::clicked, this, &CCredentialListDlg::AddCurrent);
    connect(m_addNew, &QPushButton::clicked, this, &CCredentialListDlg::AddNew);
    connect(m_delete, &QPushButton::clicked, this, &CCredentialListDlg::DeleteSelected);
    connect(m_close, &QPushButton::clicked, this, &CCredentialListDlg::accept);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_edit, m_addCurrent, m_addNew, m_delete})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    ShowRecords();
}

void CCredentialListDlg::ShowRecords(int current)
{
    m_shown.clear();
    m_list->clear();
    const int count = m_store.GetCount();
    for (int i = 0; i < count; ++i) {
        const CAuthRecord r = m_store.GetAt(i);
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(r.GetSiteName()));
        item->setText(1, QString::fromStdString(r.GetUserId()));
        item->setText(2, QString::fromStdString(r.GetPassword()));
        item->setText(3, QString::fromStdString(r.GetSiteUrl()));
        m_shown.push_back(r);
    }
    if (current >= 0 && current < m_list->topLevelItemCount())
        m_list->scrollToItem(m_list->topLevelItem(current));
}

std::vector<int> CCredentialListDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
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
    if (m_store.Add(record, index) >= 0)
        ShowRecords(index);
    return true;
}

void CCredentialListDlg::EditSelected()
{
    const std::vector<int> selected = SelectedRows();
    int row = selected.empty() ? -1 : selected.front();
    if (row < 0) {
        if (m_shown.size() > 1)
            ShowMessage(this, QString::fromUtf8(kSelectItem));
        if (m_shown.size() != 1)
            return;
        row = 0;
    }
    CAuthRecord record = m_shown[static_cast<size_t>(row)];
    EditAndAdd(record);
}

void CCredentialListDlg::AddCurrent()
{
    CAuthRecord record = m_current;
    if (EditAndAdd(record))
        m_current = record;
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
        m_store.RemoveSiteUrl(m_shown[static_cast<size_t>(row)].GetSiteUrl());
    ShowRecords();
}

} // namespace pelldra
