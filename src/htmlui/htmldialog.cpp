#include "htmlui/htmldialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

using namespace Qt::StringLiterals;

// The dialog's page: its events go to the dialog.
class HtmlDialog::Surface final : public HtmlSurface {
public:
    explicit Surface(HtmlDialog* dialog) : HtmlSurface(dialog), m_dialog(dialog) {}

protected:
    bool handleEvent(const HtmlEvent& event) override {
        return m_dialog->handleSurfaceEvent(event);
    }
    void handleBackgroundPress() override { m_dialog->startMove(); }

private:
    HtmlDialog* m_dialog;
};

HtmlDialog::HtmlDialog(QWidget* parent, Qt::WindowFlags extraFlags)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | extraFlags) {
    setModal(true);
    m_surface = new Surface(this);
    m_surface->view()->setContextMenuPolicy(Qt::NoContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_surface);
}

HtmlDialog::~HtmlDialog() = default;

HtmlSurface* HtmlDialog::surface() const {
    return m_surface;
}

int HtmlDialog::resultCodeForName(const QString& name) {
    static const char* const names[] = {"OK",  "CANCEL", "ABORT", "RETRY", "IGNORE",
                                        "YES", "NO",     "CLOSE", "HELP"};
    for (int i = 0; i < int(std::size(names)); ++i) {
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

int HtmlDialog::showModal(const QUrl& page) {
    m_result = ResultCancel;
    if (!m_surface->loadPage(page) || !m_surface->waitUntilLoaded())
        return m_result;
    m_surface->sendCall(u"setOption"_s, {}, {HtmlValue(u"movable"_s), HtmlValue(true)});
    if (m_values)
        m_surface->setValues(*m_values);
    pageLoaded();
    m_surface->measureContent();
    m_surface->flush();
    setWindowTitle(m_surface->title());
    place(m_surface->contentSize());
    emit pageReady();
    exec();
    return m_result;
}

void HtmlDialog::place(const QSize& clientSize) {
    const QSize size = clientSize.expandedTo(QSize(80, 40));
    if (m_resizable)
        resize(size);
    else
        setFixedSize(size);
    QRect container;
    if (m_alignment == AlignOnParent && parentWidget())
        container = parentWidget()->window()->frameGeometry();
    else if (m_alignment == AlignOnScreen || m_alignment == AlignOnParent) {
        QScreen* screen = parentWidget() ? parentWidget()->screen() : nullptr;
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            container = screen->availableGeometry();
    }
    if (container.isValid()) {
        move(container.left() + (container.width() - size.width()) / 2,
             container.top() + (container.height() - size.height()) / 2);
    } else {
        move(m_position);
    }
}

void HtmlDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_surface->setFocus(Qt::OtherFocusReason);
}

bool HtmlDialog::handleSurfaceEvent(const HtmlEvent& event) {
    if (event.code != HTML_BUTTON_CLICK)
        return false;
    if (event.name.isEmpty())
        return false;
    // A second click queued behind the one that closed the dialog changes nothing.
    if (!isVisible())
        return true;
    const int code = resultCodeForName(event.name);
    if (code == 0)
        return onOtherButton(event);
    if (m_values && (code == ResultOk || code == ResultRetry || code == ResultYes)) {
        m_values->clear();
        m_surface->getValues(*m_values);
    }
    m_result = code;
    done(code);
    return true;
}

bool HtmlDialog::onOtherButton(const HtmlEvent& event) {
    Q_UNUSED(event)
    return false;
}

void HtmlDialog::startMove() {
    if (QWindow* window = windowHandle())
        window->startSystemMove();
}

HtmlFocusDialog::HtmlFocusDialog(QWidget* parent, Qt::WindowFlags extraFlags,
                                 const QString& focusId)
    : HtmlDialog(parent, extraFlags), m_focusId(focusId) {}

void HtmlFocusDialog::pageLoaded() {
    if (!m_focusId.isEmpty())
        surface()->findById(m_focusId).setFocus();
}
