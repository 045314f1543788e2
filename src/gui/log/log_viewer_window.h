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

    LogTextView* View() const { return m_view; }
    QComboBox* DayBox() const { return m_days; }
    QLineEdit* FindEdit() const { return m_find; }
    QLabel* StateLine() const { return m_state; }

private:
    void BuildControls();
    void OpenPath(const QString& path);
    void FillDays();
    void ShowState();
    void Watch();

    QString m_folder;
    QString m_name;
    std::unique_ptr<LogFollower> m_follower;
    QFileSystemWatcher m_watcher;
    QTimer m_poll;

    QComboBox* m_days = nullptr;
    QLineEdit* m_find = nullptr;
    QToolButton* m_findPrevious = nullptr;
    QToolButton* m_findNext = nullptr;
    QToolButton* m_failurePrevious = nullptr;
    QToolButton* m_failureNext = nullptr;
    LogTextView* m_view = nullptr;
    QLabel* m_state = nullptr;
};

} // namespace pelldra
