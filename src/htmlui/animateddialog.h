// A dialog that unfolds from its top-left corner when it opens, fades out when
// it closes with OK or Cancel, and can be dragged by any point of its surface.
#pragma once

#include <QDialog>
#include <QSize>
#include <QTimer>

class QPropertyAnimation;

class CAnimatedDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAnimatedDialog(QWidget* parent = nullptr);

    // The opening animation runs only while this is set (the default).
    void setAnimationEnabled(bool enabled) { m_animate = enabled; }
    bool animationEnabled() const { return m_animate; }
    // The closing fade takes this long; 0 closes at once.
    void setFadeDuration(int milliseconds) { m_fadeMs = milliseconds; }
    bool isUnfolding() const { return m_unfoldTimer.isActive(); }

    void done(int result) override;

protected:
    // Called once the dialog has reached its full size.
    virtual void onUnfolded() {}

    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void startUnfolding();
    void unfoldStep();

    QTimer m_unfoldTimer;
    QSize m_fullSize;
    QSize m_step;
    bool m_animate = true;
    bool m_unfoldStarted = false;
    int m_fadeMs = 500;
    QPropertyAnimation* m_fade = nullptr;
    // Set while the dialog is dragged by hand (platforms without system moves).
    bool m_dragging = false;
    QPoint m_dragOffset;
};
