#include "htmlui/inserthyperlinkdialog.h"

#include "htmlui/clipboardtext.h"
#include "web/websitetitlecache.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The dialog that is open now, for titles that arrive while it shows.
QPointer<InsertHyperlinkDialog> s_openDialog;

constexpr int kUrlPauseMs = 250;

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool isWebAddress(const QString& url) {
    return url.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           url.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

// A small button beside a field, as wide as its two characters need.
QPushButton* sideButton(const QString& text, const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setFixedWidth(qMax(button->fontMetrics().horizontalAdvance(text) + 16, 32));
    return button;
}

} // namespace

InsertHyperlinkDialog::InsertHyperlinkDialog(QWidget* parent, WebSiteTitleCache* titles)
    : CAnimatedDialog(parent), m_titles(titles ? titles : &WebSiteTitleCache::instance()) {
    setObjectName(u"insertHyperlinkDialog"_s);
    setWindowTitle(u"Insert Hyperlink"_s);
    setModal(true);

    m_url = new QLineEdit(this);
    m_url->setObjectName(u"url"_s);
    m_url->setMinimumWidth(m_url->fontMetrics().averageCharWidth() * 44);
    m_visit = sideButton(u"\u00BB\u00BB"_s, u"Visit to this URL"_s, this);
    m_visit->setObjectName(u"visit"_s);
    m_text = new QLineEdit(this);
    m_text->setObjectName(u"text"_s);
    m_title = new QLineEdit(this);
    m_title->setObjectName(u"title"_s);
    m_updateTitle = sideButton(u"\u00AB\u00AB"_s, u"Update title from URL"_s, this);
    m_updateTitle->setObjectName(u"updateTitle"_s);
    m_target = new QComboBox(this);
    m_target->setObjectName(u"target"_s);
    m_target->setEditable(true);
    // Any target may be typed; the list only offers the usual ones, sorted.
    m_target->setInsertPolicy(QComboBox::NoInsert);
    m_target->setCompleter(nullptr);
    m_target->addItems({u"_blank"_s, u"_parent"_s, u"_top"_s});
    m_target->setCurrentIndex(-1);
    m_target->setEditText(QString());

    m_message = new QLabel(this);
    m_message->setObjectName(u"message"_s);
    m_message->setWordWrap(true);
    QPalette warning = m_message->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
    m_message->setPalette(warning);
    m_message->hide();

    m_ok = new QPushButton(u"OK"_s, this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(u"Cancel"_s, this);
    m_cancel->setAutoDefault(false);

    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(m_url, 1);
    urlRow->addWidget(m_visit);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(m_title, 1);
    titleRow->addWidget(m_updateTitle);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(u"URL:"_s, urlRow);
    m_textLabel = new QLabel(u"Text:"_s, this);
    m_textLabel->setBuddy(m_text);
    form->addRow(m_textLabel, m_text);
    form->addRow(u"Title:"_s, titleRow);
    form->addRow(u"Target:"_s, m_target);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    setTabOrder(m_url, m_visit);
    setTabOrder(m_visit, m_text);
    setTabOrder(m_text, m_title);
    setTabOrder(m_title, m_updateTitle);
    setTabOrder(m_updateTitle, m_target);
    setTabOrder(m_target, m_ok);
    setTabOrder(m_ok, m_cancel);

    m_urlPause.setSingleShot(true);
    m_urlPause.setInterval(kUrlPauseMs);
    connect(&m_urlPause, &QTimer::timeout, this, [this] { lookupTitle(m_url->text()); });
    connect(m_url, &QLineEdit::textEdited, this, &InsertHyperlinkDialog::urlEdited);
    connect(m_url, &QLineEdit::textChanged, this, &InsertHyperlinkDialog::updateButtons);
    connect(m_visit, &QPushButton::clicked, this, &InsertHyperlinkDialog::visitUrl);
    connect(m_updateTitle, &QPushButton::clicked, this, [this] { lookupTitle(m_url->text()); });
    connect(m_ok, &QPushButton::clicked, this, &InsertHyperlinkDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &InsertHyperlinkDialog::reject);

    setLinkInfo(LinkInfo(), TextReadOnly);
}

InsertHyperlinkDialog::~InsertHyperlinkDialog() {
    if (s_openDialog == this)
        s_openDialog = nullptr;
}

bool InsertHyperlinkDialog::editLink(LinkInfo& info, int mode, QWidget* parent) {
    InsertHyperlinkDialog dialog(parent ? parent->window() : nullptr);
    dialog.setLinkInfo(info, mode);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    info = dialog.linkInfo();
    return true;
}

void InsertHyperlinkDialog::setLinkInfo(const LinkInfo& info, int mode) {
    m_info = info;
    m_url->setText(info.url);
    m_title->setText(info.title);
    m_text->setText(info.text);
    m_target->setEditText(info.target);
    m_textLabel->setEnabled(mode == TextEditable);
    m_text->setReadOnly(mode != TextEditable);
    // A read-only field looks like one: grey text on the window's colour.
    QPalette look = palette();
    if (mode != TextEditable) {
        look.setColor(QPalette::Base, look.color(QPalette::Window));
        look.setColor(QPalette::Text, look.color(QPalette::Disabled, QPalette::Text));
    }
    m_text->setPalette(look);
    m_message->hide();
    updateButtons();
}

InsertHyperlinkDialog* InsertHyperlinkDialog::openDialog() {
    return s_openDialog;
}

void InsertHyperlinkDialog::deliverTitle(const QString& url, const QString& title) {
    if (s_openDialog)
        s_openDialog->titleArrived(url, title);
}

bool InsertHyperlinkDialog::isPageUrl(const QString& text) {
    if (text.isEmpty())
        return false;
    const QString cut = text.left(text.indexOf(u'#') < 0 ? text.size() : text.indexOf(u'#'));
    // The extension of the last path component, dot included.
    const qsizetype slash = qMax(cut.lastIndexOf(u'/'), cut.lastIndexOf(u'\\'));
    const QString name = cut.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) {
        const QString extension = name.mid(dot);
        for (const QString& page : {u".htm"_s, u".html"_s, u".shtml"_s, u".php"_s}) {
            if (extension.compare(page, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return text.endsWith(u'/');
}

void InsertHyperlinkDialog::showEvent(QShowEvent* event) {
    if (!m_initialised) {
        m_initialised = true;
        s_openDialog = this;
        if (m_url->text().isEmpty()) {
            const QString clipboard = GetClipboardText().trimmed();
            if (IsSuggestibleUrl(clipboard)) {
                m_url->setText(clipboard);
                lookupTitle(clipboard);
            }
        }
        m_url->setFocus(Qt::OtherFocusReason);
        m_url->selectAll();
    }
    CAnimatedDialog::showEvent(event);
}

void InsertHyperlinkDialog::urlEdited(const QString& text) {
    m_message->hide();
    if (isPageUrl(text))
        m_target->setEditText(u"_blank"_s);
    if (!text.isEmpty())
        m_urlPause.start();
}

void InsertHyperlinkDialog::lookupTitle(const QString& urlText) {
    if (!isPageUrl(urlText))
        return;
    QString url = urlText;
    const qsizetype hash = url.indexOf(u'#', 1);
    if (hash > 0)
        url.truncate(hash);
    if (url.startsWith(u"www."_s, Qt::CaseInsensitive))
        url.prepend(u"http://"_s);
    // Only web pages have titles to fetch; anything else would be sent to
    // the network as a guessed http address.
    if (!isWebAddress(url))
        return;
    const QString title = m_titles->lookupTitle(url);
    if (!title.isEmpty())
        m_title->setText(trimSpaces(title));
}

void InsertHyperlinkDialog::titleArrived(const QString& url, const QString& title) {
    if (!isVisible() || m_url->text() != url)
        return;
    m_title->setText(trimSpaces(title));
}

void InsertHyperlinkDialog::visitUrl() {
    QString text = m_url->text().trimmed();
    if (text.isEmpty())
        return;
    if (!text.contains(u"://"_s))
        text.prepend(u"http://"_s);
    // Only web pages go to the browser: a file or script address could run
    // something on the user's machine.
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s)) {
        QApplication::beep();
        showMessage(u"Only web addresses (http, https) can be opened in the browser."_s);
        return;
    }
    QDesktopServices::openUrl(url);
}

void InsertHyperlinkDialog::updateButtons() {
    const bool hasUrl = !m_url->text().isEmpty();
    m_visit->setEnabled(hasUrl);
    m_updateTitle->setEnabled(hasUrl);
}

void InsertHyperlinkDialog::showMessage(const QString& text) {
    m_message->setText(text);
    m_message->show();
    fitHeight();
}

void InsertHyperlinkDialog::onUnfolded() {
    fitHeight();
}

void InsertHyperlinkDialog::fitHeight() {
    // The wrapped message needs more height at this width than the layout's
    // minimum tells; without this the fields would be squeezed to make room.
    QLayout* box = layout();
    if (!box || isUnfolding())
        return;
    box->activate();
    const int needed = box->hasHeightForWidth() ? box->totalHeightForWidth(width())
                                                : box->totalMinimumSize().height();
    if (height() < needed)
        resize(width(), needed);
}

void InsertHyperlinkDialog::accept() {
    if (!IsAcceptedUrl(m_url->text())) {
        QApplication::beep();
        showMessage(RefusedUrlMessage());
        m_url->setFocus(Qt::OtherFocusReason);
        m_url->selectAll();
        return;
    }
    m_info.url = m_url->text();
    m_info.text = m_text->text();
    m_info.title = m_title->text();
    m_info.title.replace(u'"', u'\'');
    m_info.target = m_target->currentText();
    CAnimatedDialog::accept();
}

void InsertHyperlinkDialog::done(int result) {
    // A lookup still waiting for the pause is not wanted once the dialog closes.
    m_urlPause.stop();
    CAnimatedDialog::done(result);
}
