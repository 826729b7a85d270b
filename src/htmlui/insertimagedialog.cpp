#include "htmlui/insertimagedialog.h"

#include "buildconfig.h"
#include "htmlui/clipboardtext.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString kPage = u"qrc:/htmlui/insertimage.html"_s;
const QString kSample = u"#img_sample"_s;
// The sample settles for this long before the window is fitted to it.
constexpr int kRefitMs = 1000;

const QStringList& fieldNames() {
    static const QStringList names{u"edit_src"_s,    u"edit_alt"_s,    u"edit_border"_s,
                                   u"edit_hspace"_s, u"edit_vspace"_s, u"select_align"_s,
                                   u"edit_width"_s,  u"edit_height"_s};
    return names;
}

bool isImageAddress(const QString& text) {
    if (!IsSuggestibleUrl(text))
        return false;
    const QString path = QUrl(text.trimmed()).path();
    const QString extension = path.mid(path.lastIndexOf(u'.') + 1);
    for (const QString& image : {u"gif"_s, u"png"_s, u"jpg"_s, u"jpeg"_s}) {
        if (path.contains(u'.') && extension.compare(image, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

InsertImageDialog::InsertImageDialog(const ImageInfo& info, QWidget* parent, Purpose purpose)
    : HtmlFocusDialog(parent, Qt::WindowMaximizeButtonHint, u"edit_src"_s), m_info(info),
      m_purpose(purpose) {
    setResizable(true);
    if (m_info.src.isEmpty())
        m_info.src = suggestedSource();
    m_refit.setSingleShot(true);
    m_refit.setInterval(kRefitMs);
    connect(&m_refit, &QTimer::timeout, this, &InsertImageDialog::refit);
    connect(surface(), &HtmlSurface::htmlEvent, this, &InsertImageDialog::onPageEvent);
}

QString InsertImageDialog::suggestedSource() {
    const QString clipboard = GetClipboardText();
    if (isImageAddress(clipboard))
        return clipboard.trimmed();
    return QString::fromUtf8(ORVAN_URL_SAMPLE_IMAGE);
}

int InsertImageDialog::run() {
    m_confirmed = false;
    m_values.clear();
    const auto setText = [this](const QString& name, const QString& text) {
        if (!text.isEmpty())
            m_values.insert(name, HtmlValue(text));
    };
    const auto setNumber = [this](const QString& name, int number) {
        if (number != -1)
            m_values.insert(name, HtmlValue(QString::number(number)));
        else if (m_purpose == EditImage)
            m_values.insert(name, HtmlValue(QString()));
    };
    setText(u"edit_src"_s, m_info.src);
    setText(u"edit_alt"_s, m_info.alt);
    setNumber(u"edit_border"_s, m_info.border);
    setNumber(u"edit_hspace"_s, m_info.hspace);
    setNumber(u"edit_vspace"_s, m_info.vspace);
    setNumber(u"edit_width"_s, m_info.width);
    setNumber(u"edit_height"_s, m_info.height);
    setValues(&m_values);
    if (!QFile::exists(u":/htmlui/insertimage.html"_s))
        return ResultCancel;
    const int result = showModal(QUrl(kPage));
    // A confirm the dialog refused, followed by the close box, is no confirm.
    return result != ResultCancel && m_confirmed ? result : ResultCancel;
}

void InsertImageDialog::pageLoaded() {
    HtmlFocusDialog::pageLoaded();
    HtmlSurface* page = surface();
    page->setTableBorders(0);
    // An alignment the list does not offer is kept as an extra choice, so
    // editing an image never drops it.
    if (!m_info.align.isEmpty()) {
        const HtmlElement align = page->findById(u"select_align"_s);
        QString chosen = m_info.align;
        bool listed = false;
        for (const QString& option : align.optionValues()) {
            if (option.compare(chosen, Qt::CaseInsensitive) == 0) {
                chosen = option;
                listed = true;
                break;
            }
        }
        if (!listed)
            page->element(u"#select_align"_s).insertElement(u"option"_s, chosen);
        page->element(u"#select_align"_s).setControlValue(HtmlValue(chosen));
    }
    page->flush();
    rebuildSample();
    page->flush();
}

ImageTagTexts InsertImageDialog::fieldTexts() const {
    const HtmlSurface* page = surface();
    const auto text = [page](const QString& name) { return page->namedValue(name).toText(); };
    ImageTagTexts texts;
    texts.src = text(u"edit_src"_s);
    texts.alt = text(u"edit_alt"_s);
    texts.border = text(u"edit_border"_s);
    texts.hspace = text(u"edit_hspace"_s);
    texts.vspace = text(u"edit_vspace"_s);
    texts.align = text(u"select_align"_s);
    texts.height = text(u"edit_height"_s);
    texts.width = text(u"edit_width"_s);
    return texts;
}

void InsertImageDialog::rebuildSample() {
    HtmlSurface* page = surface();
    if (page->findById(u"edit_src"_s).isNull())
        return;
    const ImageTagTexts texts = fieldTexts();
    const HtmlElement sample = page->element(kSample);
    const bool accepted = IsAcceptedUrl(texts.src);
    // Only a web address is loaded into the sample: a refused one must not
    // load at all, and a relative one would point into the program itself.
    if (accepted && IsSuggestibleUrl(texts.src))
        sample.setAttribute(u"src"_s, texts.src);
    else
        sample.removeAttribute(u"src"_s);
    sample.setAttribute(u"alt"_s, texts.alt);
    const std::pair<QString, const QString*> optional[] = {
        {u"border"_s, &texts.border}, {u"hspace"_s, &texts.hspace}, {u"vspace"_s, &texts.vspace},
        {u"height"_s, &texts.height}, {u"width"_s, &texts.width},   {u"align"_s, &texts.align},
    };
    for (const auto& [name, value] : optional) {
        if (value->isEmpty())
            sample.removeAttribute(name);
        else
            sample.setAttribute(name, *value);
    }
    page->element(u"#message"_s).setText(accepted ? QString() : RefusedUrlMessage());
    m_refit.start();
}

void InsertImageDialog::onPageEvent(const HtmlEvent& event) {
    switch (event.code) {
    case HTML_EDIT_VALUE_CHANGED:
        m_refit.start();
        if (fieldNames().contains(event.name, Qt::CaseInsensitive))
            rebuildSample();
        break;
    case HTML_SELECT_SELECTION_CHANGED:
        if (event.id == u"select_align"_s)
            rebuildSample();
        break;
    case HTML_UI_STATE_CHANGED:
        if (event.id == u"img_sample"_s)
            m_refit.start();
        break;
    default:
        break;
    }
}

void InsertImageDialog::refit() {
    if (!isVisible())
        return;
    HtmlSurface* page = surface();
    page->measureContent();
    page->flush();
    QSize size = page->contentSize() + QSize(0, 10);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    if (size.width() > 0 && size.height() > 0)
        resize(size);
}

void InsertImageDialog::done(int result) {
    if (result == ResultClose) {
        const ImageTagTexts texts = fieldTexts();
        if (!IsAcceptedUrl(texts.src)) {
            QApplication::beep();
            surface()->element(u"#message"_s).setText(RefusedUrlMessage());
            surface()->findById(u"edit_src"_s).setFocus();
            return;
        }
        m_info.src = texts.src;
        m_info.alt = texts.alt;
        m_info.align = texts.align;
        m_info.border = DecimalFieldValue(texts.border);
        m_info.hspace = DecimalFieldValue(texts.hspace);
        m_info.vspace = DecimalFieldValue(texts.vspace);
        m_info.width = DecimalFieldValue(texts.width);
        m_info.height = DecimalFieldValue(texts.height);
        m_tag = BuildImageTag(texts);
        m_confirmed = true;
    }
    m_refit.stop();
    HtmlFocusDialog::done(result);
}
