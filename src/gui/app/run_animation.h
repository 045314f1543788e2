// CRunAnimation: the small picture beside the start button that says idle, running or queue mode.
#pragma once

#include <QTimer>
#include <QWidget>

namespace pelldra {

class CRunAnimation final : public QWidget
{
    Q_OBJECT

public:
    enum class Clip {
        Still,   // idle
        Running, // a run goes on (loops)
        Queue,   // queue mode (loops)
        Ready,   // the pointer rests on the start button: opened, not played
    };
    static constexpr int kFrameCount = 8;
    static constexpr int kFrameMs = 120;

    explicit CRunAnimation(QWidget* parent);
    CRunAnimation(const CRunAnimation&) = delete;
    CRunAnimation& operator=(const CRunAnimation&) = delete;

    // Opens a clip at its first frame; play loops it.
    void Open(Clip clip, bool play);
    Clip CurrentClip() const { return clip_; }
    bool IsPlaying() const { return timer_.isActive(); }

    QSize sizeHint() const override { return {40, 40}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The notifying static laid over the picture was clicked.
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QTimer timer_;
    Clip clip_ = Clip::Still;
    int frame_ = 0;
};

} // namespace pelldra
