// The queue notice pop-up.
#include "gui/queue/notice_popup.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace pelldra {

namespace {

const QColor kBackground(240, 240, 160);

} // namespace

CNoticePopup::CNoticePopup(QWidget* mainWindow)
    : QFrame(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    // The note comes while the user types the next order: keys must go on reaching the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    current_ = new QLabel(QString::fromUtf8(kCurrent), this);
    fromLinkScout_ = new QLabel(QString::fromUtf8(kFromLinkScout), this);
    line2_ = new QLabel(QString::fromUtf8(kLine2), this);
    line3_ = new QLabel(QString::fromUtf8(kLine3), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    for (QLabel* label : {current_, fromLinkScout_, line2_, line3_}) {
        // The labels lie on the note's colour and leave clicks to it.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(label);
    }

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
}

void CNoticePopup::ShowNotice(int origin)
{
    origin_ = origin;
    if (isVisible()) {
        // Already up: only the wording and the delay change.
        current_->setVisible(origin_ == 0);
        fromLinkScout_->setVisible(origin_ != 0);
        timer_.start(delay_);
        return;
    }
    show();
}

void CNoticePopup::showEvent(QShowEvent* event)
{
    current_->setVisible(origin_ == 0);
    fromLinkScout_->setVisible(origin_ != 0);
    adjustSize();
    CentreOnOwner();
    timer_.start(delay_);
    QFrame::showEvent(event);
}

void CNoticePopup::hideEvent(QHideEvent* event)
{
    timer_.stop();
    QFrame::hideEvent(event);
}

void CNoticePopup::CentreOnOwner()
{
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner)
        return;
    const QPoint shift = owner->frameGeometry().center() - frameGeometry().center();
    move(pos() + shift);
}

void CNoticePopup::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        hide();
        return;
    }
    QFrame::mousePressEvent(event);
}

QString CNoticePopup::ShownText() const
{
    QString text;
    for (const QLabel* label : {current_, fromLinkScout_, line2_, line3_})
        if (label->isVisibleTo(this))
            text += label->text();
    return text;
}

} // namespace pelldra
