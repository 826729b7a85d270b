// The posts bar's title filter: a box over the list that narrows the rows to
// the posts whose title holds the typed text, one second after the last key.
#include "barrssitems.h"

#include "document/rsseditdoc.h"
#include "platform/commandids.h"
#include "platform/uiservices.h"
#include "postslistmodel.h"
#include "postslistview.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QValidator>

using namespace Qt::StringLiterals;

namespace {

// Typed letters become lower case as they are typed.
class LowerCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toLower();
        return Acceptable;
    }
};

// Quiet time after the last key before the filter applies.
constexpr qint64 FilterQuietMs = 701;

} // namespace

void CBarRssItems::ToggleFilterBox() {
    if (m_filterBox) {
        m_filterTimer.stop();
        QLineEdit* box = m_filterBox;
        m_filterBox = nullptr;
        box->hide();
        box->removeEventFilter(this);
        box->deleteLater();
        m_noMatchShown = false;
        if (m_doc)
            m_doc->SetFilterBoxShown(false);
        ApplyFilter(true, true);
        m_list->setFocus();
        return;
    }
    auto* box = new QLineEdit(widget());
    box->setObjectName(u"postsFilter"_s);
    box->setValidator(new LowerCaseValidator(box));
    box->setClearButtonEnabled(true);
    box->setPlaceholderText(u"Filter titles"_s);
    box->setFont(m_list->font());
    box->installEventFilter(this);
    connect(box, &QLineEdit::textChanged, this, &CBarRssItems::OnFilterTextChanged);
    static_cast<QVBoxLayout*>(widget()->layout())->insertWidget(0, box);
    m_filterBox = box;
    box->show();
    box->setFocus(Qt::ShortcutFocusReason);
    if (m_doc)
        m_doc->SetFilterBoxShown(true);
}

void CBarRssItems::OnFilterTextChanged() {
    m_filterChanged.start();
    m_filterTimer.start();
}

void CBarRssItems::OnFilterTimer() {
    if (m_filterChanged.isValid() && m_filterChanged.elapsed() < FilterQuietMs)
        return;
    m_filterTimer.stop();
    ApplyFilter(true, true);
}

void CBarRssItems::ApplyFilter(bool storeFirst, bool announce) {
    if (storeFirst && m_doc && m_doc->GetCurrentPost() >= 0)
        m_doc->NotifyViews(this, HintStorePost, m_doc->GetCurrentPost());
    const QString text = m_filterBox ? m_filterBox->text() : QString();
    const int matches = m_feed ? m_order.ApplyFilter(*m_feed, text) : 0;
    if (matches == 0 && m_ui)
        m_ui->Beep();
    // The first match is announced once below, not again by the selection timer.
    const bool atOnce = m_announceAtOnce;
    if (announce)
        m_announceAtOnce = false;
    FillList();
    if (announce) {
        m_selectionTimer.stop();
        m_announceAtOnce = atOnce && matches == 0;
        if (matches > 0)
            Announce(m_order.Entry(0));
    }
}

void CBarRssItems::UpdateFilterColour() {
    if (!m_filterBox)
        return;
    const bool noMatch = m_order.IsEmpty();
    if (noMatch == m_noMatchShown)
        return;
    m_noMatchShown = noMatch;
    QPalette pal = m_filterBox->parentWidget()->palette();
    if (noMatch)
        pal.setColor(QPalette::Text, QColor(255, 0, 0));
    m_filterBox->setPalette(pal);
    m_filterBox->update();
}

bool CBarRssItems::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_filterBox)
        return QDockWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        QMetaObject::invokeMethod(m_filterBox.data(), &QLineEdit::selectAll, Qt::QueuedConnection);
        break;
    case QEvent::ShortcutOverride: {
        // Escape, Enter and Tab belong to the box, not to the window's shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
            key->key() == Qt::Key_Enter || key->key() == Qt::Key_Tab) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (m_filterBox->text().isEmpty())
                QMetaObject::invokeMethod(
                    this, [this] { RunCommand(ID_POST_FILTERING); }, Qt::QueuedConnection);
            else
                m_filterBox->clear();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
            key->key() == Qt::Key_Tab) {
            if (m_doc)
                m_doc->NotifyViews(this, HintFocusEditor, 0);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDockWidget::eventFilter(watched, event);
}
