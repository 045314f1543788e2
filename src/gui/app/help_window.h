// CHelpWindow: the manual behind HELP and F1, its pages in a text browser of the program.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include <functional>

class QTextBrowser;

namespace pelldra {

// Where an installation puts the manual, relative to the program's folder; the build defines it when its install
// folders differ from bin and share, and copies the manual to the same place beside the programs it builds.
#ifndef PELLDRA_INSTALLED_MANUAL_FOLDER
#define PELLDRA_INSTALLED_MANUAL_FOLDER "../share/pelldra/manual"
#endif

inline constexpr const char* kManualMissing = "マニュアルが正しくインストールされていません。\n見つからないファイル：";

// The manual's folder for this program, wherever the tree was installed or built.
QString ManualFolder();
// "" when the folder holds the manual's first page, else the message that says which file is missing.
QString ManualProblem(const QString& folder);

class CHelpWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Pelldra ヘルプ";
    // The desktop's browser by default; tests record instead.
    using UrlOpener = std::function<void(const QUrl&)>;

    // folder: the manual's folder, holding index.html.
    CHelpWindow(QWidget* parent, const QString& folder, UrlOpener opener = {});
    CHelpWindow(const CHelpWindow&) = delete;
    CHelpWindow& operator=(const CHelpWindow&) = delete;

    // As a click on a link of the page shown: a page of the manual is shown here, an http(s) address goes to the
    // desktop's browser, anything else (another folder, another scheme) is left alone.
    void OpenLink(const QUrl& link);
    void ShowContents();
    QTextBrowser* Browser() const { return browser_; }

protected:
    // The first time: beside the main window, and the whole of it on the screen.
    void showEvent(QShowEvent* event) override;

private:
    bool InManual(const QUrl& url) const;

    QString folder_; // canonical, so that ".." and links cannot lead a page outside it
    UrlOpener opener_;
    QTextBrowser* browser_ = nullptr;
    bool placed_ = false;
};

} // namespace pelldra
