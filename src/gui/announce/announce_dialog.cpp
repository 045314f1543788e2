// The announcement question.
#include "gui/announce/announce_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app/main_icons.h"
#include "gui/platform/message_box.h"

namespace pelldra {

CAnnounceDlg::CAnnounceDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kDefaultMessageCaption));

    auto* icon = new QLabel(this);
    icon->setPixmap(main_icons::Window().pixmap(32, 32));
    auto* line1 = new QLabel(QString::fromUtf8(kLine1), this);
    auto* line2 = new QLabel(QString::fromUtf8(kLine2), this);
    line1->setObjectName(QStringLiteral("announceLine1"));
    line2->setObjectName(QStringLiteral("announceLine2"));

    yes_ = new QPushButton(QStringLiteral("はい"), this);
    later_ = new QPushButton(QStringLiteral("次の機会にします"), this);
    refuse_ = new QPushButton(QStringLiteral("拒否します"), this);
    yes_->setObjectName(QStringLiteral("announceYes"));
    later_->setObjectName(QStringLiteral("announceLater"));
    refuse_->setObjectName(QStringLiteral("announceRefuse"));
    yes_->setDefault(true);
    const auto answer = [this](AnnounceAnswer a) { return [this, a] { done(static_cast<int>(a)); }; };
    connect(yes_, &QPushButton::clicked, this, answer(AnnounceAnswer::Yes));
    connect(later_, &QPushButton::clicked, this, answer(AnnounceAnswer::Later));
    connect(refuse_, &QPushButton::clicked, this, answer(AnnounceAnswer::Refuse));

    auto* lines = new QVBoxLayout;
    lines->addWidget(line1);
    lines->addWidget(line2);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(lines, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes_);
    buttons->addWidget(later_);
    buttons->addWidget(refuse_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAnnounceDlg::reject()
{
    // Closing the question answers nothing: storing a refusal the user never gave would hide the news for good.
    done(static_cast<int>(AnnounceAnswer::Later));
}

AnnounceAnswer AskAboutAnnouncement(QWidget* parent)
{
    CAnnounceDlg dialog(parent);
    switch (dialog.exec()) {
    case static_cast<int>(AnnounceAnswer::Yes):
        return AnnounceAnswer::Yes;
    case static_cast<int>(AnnounceAnswer::Refuse):
        return AnnounceAnswer::Refuse;
    default:
        return AnnounceAnswer::Later;
    }
}

} // namespace pelldra
