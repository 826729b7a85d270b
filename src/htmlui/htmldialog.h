// A modal dialog whose whole face is one of our HTML pages: sized to the
// page, captioned by its title, filled from and read back into NamedValues.
#pragma once

#include "htmlui/htmlsurface.h"
#include "htmlui/namedvalues.h"

#include <QDialog>
#include <QPoint>

class HtmlDialog : public QDialog {
    Q_OBJECT
public:
    // Result codes of the buttons named OK, Cancel, ... (compared without case).
    enum ResultCode {
        ResultOk = 1,
        ResultCancel = 2,
        ResultAbort = 3,
        ResultRetry = 4,
        ResultIgnore = 5,
        ResultYes = 6,
        ResultNo = 7,
        ResultClose = 8,
        ResultHelp = 9,
    };
    enum Alignment { AlignAtPosition = 0, AlignOnScreen = 1, AlignOnParent = 2 };

    explicit HtmlDialog(QWidget* parent = nullptr, Qt::WindowFlags extraFlags = {});
    ~HtmlDialog() override;

    // The map the page is filled from and, on OK / Retry / Yes, read back into.
    void setValues(NamedValues* values) { m_values = values; }
    NamedValues* values() const { return m_values; }
    void setAlignment(Alignment alignment) { m_alignment = alignment; }
    // The window's corner when the alignment is AlignAtPosition.
    void setPosition(const QPoint& position) { m_position = position; }
    // A sizing frame; without it the window keeps the page's size.
    void setResizable(bool resizable) { m_resizable = resizable; }

    // Shows the page modally and answers the result code: the code of the
    // named button clicked, else ResultCancel (also when the page won't load).
    int showModal(const QUrl& page);
    int resultCode() const { return m_result; }
    HtmlSurface* surface() const;

    // The code of a button name, 0 when the name is not one of them.
    static int resultCodeForName(const QString& name);

signals:
    // The page is loaded, filled and placed; the modal loop starts next.
    void pageReady();

protected:
    // A click on a named button whose name has no result code.
    virtual bool onOtherButton(const HtmlEvent& event);
    // The page has loaded and been filled, before the window shows.
    virtual void pageLoaded() {}
    void showEvent(QShowEvent* event) override;

private:
    class Surface;
    bool handleSurfaceEvent(const HtmlEvent& event);
    void startMove();
    void place(const QSize& clientSize);

    Surface* m_surface = nullptr;
    NamedValues* m_values = nullptr;
    Alignment m_alignment = AlignOnScreen;
    QPoint m_position;
    bool m_resizable = false;
    int m_result = ResultCancel;
};

// An HTML dialog that gives one element the keyboard focus once loaded.
class HtmlFocusDialog : public HtmlDialog {
    Q_OBJECT
public:
    HtmlFocusDialog(QWidget* parent, Qt::WindowFlags extraFlags, const QString& focusId);

protected:
    void pageLoaded() override;

private:
    QString m_focusId;
};
