// CCredentialListDlg: "認証管理", the stored site credentials with their add, edit and delete commands.
#pragma once

#include <QDialog>

#include <vector>

#include "core/credentials/auth_record.h"

class QPushButton;
class QTreeWidget;

namespace pelldra {

class CNinshoCenter;

class CCredentialListDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "認証管理";
    static constexpr const char* kSelectItem = "編集するアイテムを選択して下さい。";

    // Changes go into store and its file at once (a program killed later keeps them); current is what
    // "現在の認証データを追加" offers, and takes its edited values.
    CCredentialListDlg(QWidget* parent, CNinshoCenter& store, CAuthRecord& current);
    CCredentialListDlg(const CCredentialListDlg&) = delete;
    CCredentialListDlg& operator=(const CCredentialListDlg&) = delete;

    // The commands, as the buttons (and a double click, which edits) give them.
    void EditSelected();
    void AddCurrent();
    void AddNew();
    void DeleteSelected();

    QTreeWidget* List() const { return list_; }
    QPushButton* EditButton() const { return edit_; }
    QPushButton* AddCurrentButton() const { return addCurrent_; }
    QPushButton* AddNewButton() const { return addNew_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* CloseButton() const { return close_; }

private:
    // Shows the editor with record; on OK adds what it gives to the store. False when the editor was cancelled.
    bool EditAndAdd(CAuthRecord& record);
    // Rows are the store's records in its order. The store is read afresh after every change, because a running
    // download may add a record at any time and the rows must never point at another record than they show.
    void ShowRecords(int current = -1);
    std::vector<int> SelectedRows() const;

    CNinshoCenter& store_;
    CAuthRecord& current_;
    std::vector<CAuthRecord> shown_; // what each row shows
    QTreeWidget* list_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* addCurrent_ = nullptr;
    QPushButton* addNew_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace pelldra
