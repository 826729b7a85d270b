// Keeps the keys typed while a dialog is still being prepared away from the
// window underneath, and hands them to the dialog once it is up. A page dialog
// loads before it is shown: without this, a title typed right after Ctrl+N
// would land in the open post instead of the new feed's dialog.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <memory>

class QEvent;
class QWidget;

class CInputHold final : public QObject {
    Q_OBJECT
public:
    // Holds the keys meant for any widget of window until a modal dialog shows.
    explicit CInputHold(QWidget* window);
    ~CInputHold() override;

    // Takes in what the user typed while the program was busy and would not
    // read input (waiting for a page), so it is held here. Call it just
    // before the dialog shows: input still queued for the window once a modal
    // dialog blocks it would be thrown away unseen.
    void takeQueuedInput();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hands the next held key to the dialog; keys go in the order they were typed.
    void replayNext();

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_dialog;
    std::deque<std::unique_ptr<QEvent>> m_held;
    QTimer m_replay;
    QElapsedTimer m_since;
    bool m_replaying = false;
    bool m_released = false;
};
