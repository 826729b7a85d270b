#include "htmlui/animateddialog.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QWindow>

namespace {
constexpr int kUnfoldSteps = 7;
} // namespace

CAnimatedDialog::CAnimatedDialog(QWidget* parent) : QDialog(parent) {
    m_unfoldTimer.setInterval(1);
    connect(&m_unfoldTimer, &QTimer::timeout, this, &CAnimatedDialog::unfoldStep);
}

void CAnimatedDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setWindowOpacity(1.0);
    if (m_animate && !m_unfoldStarted) {
        m_unfoldStarted = true;
        startUnfolding();
    }
}

void CAnimatedDialog::startUnfolding() {
    m_fullSize = size();
    if (m_fullSize.width() < 2 || m_fullSize.height() < 2)
        return;
    m_step =
        QSize((m_fullSize.width() - 1) / kUnfoldSteps, (m_fullSize.height() - 1) / kUnfoldSteps);
    // The layout's minimum size would keep the window from shrinking to a dot.
    if (layout())
        layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(1, 1);
    resize(1, 1);
    m_unfoldTimer.start();
}

void CAnimatedDialog::unfoldStep() {
    const int w = qMin(width() + qMax(m_step.width(), 1), m_fullSize.width());
    const int h = qMin(height() + qMax(m_step.height(), 1), m_fullSize.height());
    resize(w, h);
    if (w >= m_fullSize.width() && h >= m_fullSize.height()) {
        m_unfoldTimer.stop();
        // A zero minimum hands the minimum back to the layout, so the dialog
        // grows when it shows more (a message) and cannot be shrunk past it.
        setMinimumSize(0, 0);
        if (layout()) {
            layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
            layout()->activate();
        }
        onUnfolded();
    }
}

void CAnimatedDialog::done(int result) {
    if (m_fade)
        return;
    if (m_fadeMs <= 0 || !isVisible()) {
        QDialog::done(result);
        return;
    }
    m_unfoldTimer.stop();
    m_fade = new QPropertyAnimation(this, "windowOpacity", this);
    m_fade->setDuration(m_fadeMs);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, [this, result] {
        m_fade->deleteLater();
        m_fade = nullptr;
        QDialog::done(result);
        setWindowOpacity(1.0);
    });
    m_fade->start();
}

void CAnimatedDialog::mousePressEvent(QMouseEvent* event) {
    // Controls take their own clicks; only the bare surface moves the dialog.
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void CAnimatedDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CAnimatedDialog::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
