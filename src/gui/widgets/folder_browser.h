// CFolderBrowser: the folder chooser, which can also make a subfolder of the folder it shows.
#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QTreeView;

namespace pelldra {

// Shows the folders of the file system with the selected one open. A name typed below that is an existing folder
// (absolute, or inside the selected one) is chosen; a name that does not exist and begins with "/" or "\" asks to
// make that subfolder inside the selected folder, which is then selected.
class CFolderBrowser final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "どのフォルダを選びますか？";
    static constexpr const char* kStatusText = "サブフォルダを作る時は\\で始まる文字列を下の欄に書いて下さい";
    static constexpr const char* kMakeQuestion = "現在位置：%1 に\nサブフォルダ%2を作りますか？";
    static constexpr const char* kMakeFailed = "フォルダ作成に失敗しました";

    CFolderBrowser(QWidget* parent, const QString& initialFolder);
    CFolderBrowser(const CFolderBrowser&) = delete;
    CFolderBrowser& operator=(const CFolderBrowser&) = delete;

    // Shows the dialog modally: the chosen folder, or "" when the user cancels.
    QString Run();

    // The folder selected in the tree ("" before anything is selected).
    QString CurrentFolder() const { return currentFolder_; }
    // The folder chosen when the dialog ended with OK.
    QString ChosenFolder() const { return chosen_; }
    void SelectFolder(const QString& path);

    QLineEdit* NameEdit() const { return name_; }

    void accept() override;

private:
    // Selects the starting folder and keeps it in view while the folders around it are read.
    void ScrollToWhenRead(const QString& path);
    // Handles the typed name; true when the dialog may close with chosen_ set.
    bool TakeTypedName(const QString& typed);

    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLabel* status_ = nullptr;
    QLineEdit* name_ = nullptr;
    QString currentFolder_;
    QString chosen_;
    std::array<QMetaObject::Connection, 2> following_; // keeping the starting folder in view
};

} // namespace pelldra
