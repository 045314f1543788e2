// CFolder: the save-folder edit with its check, its trimming and its browse button's chooser.
#pragma once

#include <QLineEdit>
#include <QString>

namespace pelldra {

class CFolder final : public QLineEdit
{
    Q_OBJECT

public:
    explicit CFolder(QWidget* parent);
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;

    // Shows path and takes it as the last checked folder; "" stands for the home folder.
    void SetFolder(const QString& path);
    // The shown text without white space at either end and then without trailing "/" and "\" (a lone "/" stays).
    // Unchanged since the last good check: changed = false, returns 0. Otherwise changed = true and the folder check's
    // code: on 0 out is the folder and becomes the last checked one; on any other code out is the message to show.
    int GetFolder(QString& out, bool& changed);
    // The last folder that passed the check.
    QString Folder() const { return folder_; }

    // The browse button: opens the folder chooser on the shown text; 0 and the choice shown, or -1 when cancelled.
    int Browse();

    // The settings file's form: storing takes the shown text as the folder. (Loading checks the stored folder in
    // core and shows it with SetFolder.)
    QString TakeForStore();

    // The trimming of GetFolder on its own.
    static QString TrimFolderText(const QString& text);

private:
    QString folder_;
};

} // namespace pelldra
