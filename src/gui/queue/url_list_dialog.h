// CUrlListDlg: "ダウンロードＵＲＬリスト", every job of a URL list with its Referer, and the list's save folder.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QLineEdit;
class QTreeWidget;

namespace pelldra {

class CUrlListDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "ダウンロードＵＲＬリスト";

    // lines: the list's job lines; title: the window title ("" keeps kTitle); folder: the save folder, "" when the
    // order has none (the box is then disabled).
    CUrlListDlg(QWidget* parent, const std::vector<std::string>& lines, const QString& title, const QString& folder);
    CUrlListDlg(const CUrlListDlg&) = delete;
    CUrlListDlg& operator=(const CUrlListDlg&) = delete;

    // The folder as the box holds it; what OK hands back.
    QString Folder() const;
    QTreeWidget* List() const { return list_; }
    QLineEdit* FolderEdit() const { return folder_; }

signals:
    // Esc does not close this dialog: it is the main window's cancel (the boss key).
    void CancelCommand();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidget* list_ = nullptr;
    QLineEdit* folder_ = nullptr;
};

} // namespace pelldra
