// CAboutDlg: "Pelldraのﾊﾞｰｼﾞｮﾝ情報", the program's name and version.
#pragma once

#include <QDialog>

namespace pelldra {

class CAboutDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Pelldraのﾊﾞｰｼﾞｮﾝ情報";

    explicit CAboutDlg(QWidget* parent);
    CAboutDlg(const CAboutDlg&) = delete;
    CAboutDlg& operator=(const CAboutDlg&) = delete;

    // "Pelldra Version 1.79"
    static QString VersionLine();

signals:
    // Closed with the Esc key (not with the close box or OK): the main window treats it as its own cancel (boss key).
    void ClosedWithEscape();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace pelldra
