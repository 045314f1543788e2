// LogViewerWindow: one daily log of a folder, followed while it grows, with the other days one choice away.
#pragma once

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QTimer>

#include <memory>

#include "core/engine/log_follower.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace pelldra {

class LogTextView;

class LogViewerWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "LogViewer";
    // How often the file is looked at besides the watcher's notices (which a network folder may never give).
    static constexpr int kPollMs = 2000;

    // path: the log to show, absolute; its folder's other daily logs are offered too.
    explicit LogViewerWindow(const QString& path, QWidget* parent = nullptr);
    ~LogViewerWindow() override;
    LogViewerWindow(const LogViewerWindow&) = delete;
    LogViewerWindow& operator=(const LogViewerWindow&) = delete;

    // Shows another log of the folder (a file name).
    void OpenDay(const QString& name);
    // Reads what the file gained (or shows it afresh when it was replaced).
    void ReadMore();
    void FindNext(bool backward);
    void GoToFailure(bool backward);
    // A broadcast of the program: the boss key hides the viewer with the main window, and the main window coming up
    // again brings back a viewer that the boss key hid (only that one).
    void FollowBroadcast(const QString& name);

    LogTextView* View() const { return view_; }
    QComboBox* DayBox() const { return days_; }
    QLineEdit* FindEdit() const { return find_; }
    QLabel* StateLine() const { return state_; }

protected:
    // The first time: the whole window on the screen.
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void OpenPath(const QString& path);
    void FillDays();
    void ShowState();
    void Watch();

    QString folder_;
    QString name_;
    bool placed_ = false;
    std::unique_ptr<LogFollower> follower_;
    QFileSystemWatcher watcher_;
    QTimer poll_;
    bool hiddenByBoss_ = false;

    QComboBox* days_ = nullptr;
    QLineEdit* find_ = nullptr;
    QToolButton* findPrevious_ = nullptr;
    QToolButton* findNext_ = nullptr;
    QToolButton* failurePrevious_ = nullptr;
    QToolButton* failureNext_ = nullptr;
    LogTextView* view_ = nullptr;
    QLabel* state_ = nullptr;
};

} // namespace pelldra
