// AnnouncementCheck: the main window's announcement check, started some time after each showing, one at a time.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "core/announce/announce_checker.h"

namespace pelldra {

class AnnounceQuestion;

struct AnnounceSettings
{
    using AskFunction = std::function<AnnounceAnswer(QWidget* parent)>;

    std::string listUrl; // the default list address; "" never checks (the program gives kDefaultAnnounceUrl)
    std::chrono::milliseconds delay{30000};
    AskFunction ask;                                  // none: the question dialog, AskAboutAnnouncement
    std::function<void(const QString& url)> openPage; // the page the user chose to read
};

// Owned by the window it asks over. The checker's worker never touches a widget: its question and its result are
// handed to the window's thread, the question blocking the worker until it is answered.
class AnnouncementCheck final : public QObject
{
    Q_OBJECT

public:
    AnnouncementCheck(QWidget* window, AnnounceSettings settings);
    // Stops a running check; a question on screen is closed unanswered.
    ~AnnouncementCheck() override;
    AnnouncementCheck(const AnnouncementCheck&) = delete;
    AnnouncementCheck& operator=(const AnnouncementCheck&) = delete;

    // The window was shown: a check starts unless one is running already.
    void OnShown();
    bool Running() const { return checker_ != nullptr; }
    void Stop();

private:
    void OnFinished(const QString& url);

    QPointer<QWidget> window_;
    AnnounceSettings settings_;
    std::shared_ptr<AnnounceQuestion> question_;
    std::unique_ptr<CAnnounceChecker> checker_;
};

} // namespace pelldra
