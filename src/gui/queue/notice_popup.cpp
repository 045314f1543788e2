// The queue notice pop-up.
#include "gui/queue/notice_popup.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace pelldra {

namespace {

const QColor kBackground(240, 240, 160);

} // namespace

CNoticePopup::CNoticePopup(QWidget* mainWindow) : QFrame(mainWindow, Qt::Dialog | Qt::FramelessWindowHint)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    m_current = new QLabel(QString::fromUtf8(kCurrent), this);
    m_fromLinkScout = new QLabel(QString::fromUtf8(kFromLinkScout), this);
    m_line2 = new QLabel(QString::fromUtf8(kLine2), this);
    m_line3 = new QLabel(QString::fromUtf8(kLine3), this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    for (QLabel* label : {m_current, m_fromLinkScout, m_line2, m_line3}) {
        // The labels lie on the note's colour and leave clicks to it.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(label);
    }

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::hide);
}

void CNoticePopup::ShowNotice(int origin)
{
    m_origin = origin;
    if (isVisible()) {
        // Already up: only the wording and the delay change.
        m_current->setVisible(m_origin == 0);
        m_fromLinkScout->setVisible(m_origin != 0);
        m_timer.start(m_delay);
        return;
    }
    show();
}

void CNoticePopup::showEvent(QShowEvent* event)
{
    m_current->setVisible(m_origin == 0);
    m_fromLinkScout->setVisible(m_origin != 0);
    adjustSize();
    CentreOnOwner();
    m_wasActive = false;
    m_timer.start(m_delay);
    activateWindow();
    QFrame::showEvent(event);
}

void CNoticePopup::hideEvent(QHideEvent* event)
{
    m_timer.stop();
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

void CNoticePopup::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            m_wasActive = true;
        else if (m_wasActive && isVisible())
            hide();
    }
    QFrame::changeEvent(event);
}

QString CNoticePopup::ShownText() const
{
    QString text;
    for (const QLabel* label : {m_current, m_fromLinkScout, m_line2, m_line3})
        if (label->isVisibleTo(this))
            text += label->text();
    return text;
}

} // namespace pelldra
