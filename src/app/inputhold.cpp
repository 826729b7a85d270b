#include "app/inputhold.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace {
// A page takes keys a moment after its view got the focus; keys sent sooner are lost.
constexpr int PageReadyMs = 100;
// Keys typed together with a command's shortcut (its Return, say) may still
// be on their way when the program is ready to ask: they are waited for this
// long after the command began.
constexpr int TypedAlongMs = 150;
// Keys handed over in one burst get lost in the page; one at a time they all arrive.
constexpr int ReplayStepMs = 10;
} // namespace

CInputHold::CInputHold(QWidget* window) : m_window(window) {
    m_since.start();
    qApp->installEventFilter(this);
    m_replay.setInterval(ReplayStepMs);
    connect(&m_replay, &QTimer::timeout, this, &CInputHold::replayNext);
}

CInputHold::~CInputHold() {
    qApp->removeEventFilter(this);
}

void CInputHold::takeQueuedInput() {
    if (m_dialog || m_released)
        return;
    // Keys and clicks for the window are held or dropped meanwhile, so nothing
    // of the window runs while we wait.
    const qint64 left = TypedAlongMs - m_since.elapsed();
    if (left > 0) {
        QEventLoop loop;
        QTimer::singleShot(left, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool CInputHold::eventFilter(QObject* watched, QEvent* event) {
    if (m_released || m_replaying || !m_window || !watched->isWidgetType())
        return false;

    QWidget* window = static_cast<QWidget*>(watched)->window();
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn && !m_dialog && window != m_window && window->isModal()) {
        // The dialog has the keyboard and has given its first field the focus.
        m_dialog = window;
        QTimer::singleShot(PageReadyMs, &m_replay, qOverload<>(&QTimer::start));
        return false;
    }
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        // The dialog is about to block the window, which would drop these
        // anyway; meanwhile no click may run a command under the question.
        return window == m_window;
    default:
        break;
    }
    // Keys that reach the dialog before it is ready, or before the held ones, wait their turn.
    if (window != m_window && !window->isModal())
        return false;
    // A key is held where it is first delivered: the focus, or a window that has
    // none yet. A page hands the keys it does not use back to its view's parent,
    // and those must go their way.
    if (watched != QApplication::focusWidget() && watched != window &&
        watched != window->focusWidget())
        return false;
    switch (type) {
    case QEvent::ShortcutOverride:
        // Accepted, so no command of the window runs on it either.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        m_held.push_back(std::unique_ptr<QEvent>(static_cast<QKeyEvent*>(event)->clone()));
        return true;
    case QEvent::InputMethod:
        m_held.push_back(std::unique_ptr<QEvent>(static_cast<QInputMethodEvent*>(event)->clone()));
        return true;
    default:
        return false;
    }
}

void CInputHold::replayNext() {
    if (m_held.empty() || !m_dialog || !m_dialog->isVisible()) {
        // Done, or the dialog went: what is left is dropped, never given to the window.
        m_replay.stop();
        m_held.clear();
        m_released = true;
        return;
    }
    // The dialog's own focus: a key such as Tab may move the application's
    // focus about for a moment while the page handles it.
    QWidget* target = m_dialog->focusWidget() ? m_dialog->focusWidget() : m_dialog.data();
    const std::unique_ptr<QEvent> event = std::move(m_held.front());
    m_held.pop_front();
    m_replaying = true;
    QCoreApplication::sendEvent(target, event.get());
    m_replaying = false;
}
