// CAnnounceDlg: asks whether to read the maker's new announcement: はい / 次の機会にします / 拒否します.
#pragma once

#include <QDialog>

#include "core/announce/announce_checker.h"

class QPushButton;

namespace pelldra {

// Ends with the answer's value (AnnounceAnswer). Esc and the close box choose no answer, which is asked again next
// time, as 次の機会にします is.
class CAnnounceDlg final : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kLine1 = "Pelldraの新しいお知らせがあります";
    static constexpr const char* kLine2 = "お知らせを読みますか？";

    explicit CAnnounceDlg(QWidget* parent);
    CAnnounceDlg(const CAnnounceDlg&) = delete;
    CAnnounceDlg& operator=(const CAnnounceDlg&) = delete;

    QPushButton* YesButton() const { return yes_; }
    QPushButton* LaterButton() const { return later_; }
    QPushButton* RefuseButton() const { return refuse_; }

    void reject() override;

private:
    QPushButton* yes_ = nullptr;
    QPushButton* later_ = nullptr;
    QPushButton* refuse_ = nullptr;
};

// Shows the question modally over parent and gives the answer.
AnnounceAnswer AskAboutAnnouncement(QWidget* parent);

} // namespace pelldra
