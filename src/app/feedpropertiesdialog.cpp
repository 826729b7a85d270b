#include "app/feedpropertiesdialog.h"

#include "document/rsseditdoc.h"
#include "feed/podcastguid.h"
#include "feed/rssdate.h"
#include "media/mediaworkers.h"
#include "propsui/categorytable.h"
#include "propsui/pickers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The preview reads no more than this, from the web or from disk.
constexpr qint64 kPreviewMaxBytes = 4 * 1024 * 1024;
const QString kRssType = u"application/rss+xml"_s;

QLineEdit* Line(const QString& name, const QString& placeholder = QString()) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QComboBox* Choice(const QString& name, const QStringList& values) {
    return MakeChoiceBox(name, values);
}

QWidget* Row(std::initializer_list<QWidget*> widgets) {
    return MakeRow(widgets);
}

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(kPreviewMaxBytes) : QByteArray();
}

QFormLayout* Form(QWidget* page) {
    auto* form = new QFormLayout(page);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

} // namespace

FeedPropertiesDialog::FeedPropertiesDialog(CRSSEditDoc* doc, QWidget* parent)
    : QDialog(parent), m_doc(doc) {
    setObjectName(u"feedProperties"_s);
    setWindowTitle(u"Feed Properties"_s);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(u"feedPropertiesTabs"_s);
    m_tabs->addTab(buildGeneral(), u"&General"_s);
    m_tabs->addTab(buildImage(), u"&Image"_s);
    m_tabs->addTab(buildPodcast(), u"&Podcast"_s);
    layout->addWidget(m_tabs);
    m_error = new QLabel;
    m_error->setObjectName(u"feedPropertiesError"_s);
    m_error->setStyleSheet(u"color: #b00020"_s);
    m_error->setWordWrap(true);
    m_error->hide();
    layout->addWidget(m_error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_form.load(doc ? doc->GetFeed().GetChannelNode() : pugi::xml_node());
    const FeedOptions options = doc ? doc->GetFeedOptions() : FeedOptions();
    m_writeGenerator->setChecked(options.writeGenerator);
    m_renewBuildDate->setChecked(options.renewLastBuildDate);
    m_renewPostDate->setChecked(options.renewPubDateOnEdit);
    m_mediaBaseUrl->setText(options.mediaBaseUrl);
    loadPreview();
    resize(620, 640);
}

QWidget* FeedPropertiesDialog::buildGeneral() {
    auto* page = new QWidget;
    QFormLayout* form = Form(page);
    auto* title = Line(u"title"_s);
    form->addRow(u"&Title:"_s, title);
    m_form.bindLine(u"title"_s, title);
    auto* link = Line(u"link"_s, u"https://example.com/"_s);
    form->addRow(u"&Link:"_s, link);
    m_form.bindLine(u"link"_s, link);
    auto* description = new QPlainTextEdit;
    description->setObjectName(u"description"_s);
    description->setTabChangesFocus(true);
    description->setFixedHeight(60);
    form->addRow(u"&Description:"_s, description);
    m_form.bindCustom(
        u"description"_s, [description] { return description->toPlainText(); },
        [description](const QString& v) { description->setPlainText(v); });

    auto* language = new QComboBox;
    language->setObjectName(u"language"_s);
    MakeLanguageBox(language);
    language->setToolTip(u"Type a tag or a language's name to search, or any tag of your own"_s);
    form->addRow(u"L&anguage:"_s, language);
    m_form.bindCustom(
        u"language"_s, [language] { return LanguageTagOf(language->currentText()); },
        [language](const QString& v) { language->setEditText(v); });

    auto* copyright = Line(u"copyright"_s);
    form->addRow(u"&Copyright:"_s, copyright);
    m_form.bindLine(u"copyright"_s, copyright);
    const QString personHint = u"email (Name), e.g. editor@example.com (Jane Doe)"_s;
    auto* editor = Line(u"managingEditor"_s, personHint);
    form->addRow(u"&Managing editor:"_s, editor);
    m_form.bindLine(u"managingEditor"_s, editor);
    auto* webMaster = Line(u"webMaster"_s, personHint);
    form->addRow(u"&Web master:"_s, webMaster);
    m_form.bindLine(u"webMaster"_s, webMaster);

    auto* categories = new CategoryTable(u"Category"_s, u"Domain (optional)"_s);
    categories->setObjectName(u"categories"_s);
    categories->setFixedHeight(96);
    form->addRow(u"Categorie&s:"_s, categories);
    m_form.bindList(u"category"_s, u"domain"_s, categories);

    auto* ttl = Line(u"ttl"_s, u"how long a reader may keep the feed before asking again"_s);
    ttl->setValidator(new QIntValidator(0, 10000000, ttl));
    form->addRow(u"TTL (min&utes):"_s, ttl);
    m_form.bindLine(u"ttl"_s, ttl);
    auto* docs = Line(u"docs"_s, u"https://cyber.harvard.edu/rss/rss.html"_s);
    form->addRow(u"D&ocs:"_s, docs);
    m_form.bindLine(u"docs"_s, docs);

    m_selfUrl = Line(u"selfUrl"_s, u"https://example.com/feed.xml"_s);
    m_selfUrl->setToolTip(u"Where the feed itself is published (atom:link rel=\"self\")"_s);
    form->addRow(u"&Feed URL:"_s, m_selfUrl);
    // The type goes with the address; a type the file already gives stays.
    m_form.bindGroup(u"atom:link[@rel=self]"_s, {}, {},
                     {FieldForm::LinePart(u"href"_s, m_selfUrl),
                      FieldForm::TypePart(u"type"_s, m_selfUrl, kRssType)});

    auto* generator = Line(u"generator"_s);
    form->addRow(u"Ge&nerator:"_s, generator);
    m_form.bindLine(u"generator"_s, generator);
    m_lastBuildDate = Line(u"lastBuildDate"_s, u"05 Dec 2026 10:45:34 GMT"_s);
    form->addRow(u"Last &build date:"_s, m_lastBuildDate);
    m_form.bindLine(u"lastBuildDate"_s, m_lastBuildDate);

    auto* options = new QGroupBox(u"Every save of this feed"_s);
    auto* optionsLayout = new QVBoxLayout(options);
    m_writeGenerator = new QCheckBox(u"Write Orvan as the generator"_s);
    m_writeGenerator->setObjectName(u"writeGenerator"_s);
    m_renewBuildDate = new QCheckBox(u"Renew lastBuildDate on every save"_s);
    m_renewBuildDate->setObjectName(u"renewLastBuildDate"_s);
    m_renewPostDate = new QCheckBox(u"Renew a post's date when it is edited"_s);
    m_renewPostDate->setObjectName(u"renewPostDate"_s);
    m_renewPostDate->setToolTip(u"Editing a post's title, link, author or text sets its date to "
                                u"the time of the edit"_s);
    optionsLayout->addWidget(m_writeGenerator);
    optionsLayout->addWidget(m_renewBuildDate);
    optionsLayout->addWidget(m_renewPostDate);
    form->addRow(options);
    return page;
}

QWidget* FeedPropertiesDialog::buildImage() {
    auto* page = new QWidget;
    QFormLayout* form = Form(page);
    m_imageUrl = Line(u"imageUrl"_s, u"https://example.com/logo.png (GIF, JPEG or PNG)"_s);
    form->addRow(u"&URL:"_s, m_imageUrl);
    m_form.bindLine(u"image/url"_s, m_imageUrl);
    connect(m_imageUrl, &QLineEdit::editingFinished, this, [this] { loadPreview(); });
    auto* title = Line(u"imageTitle"_s, u"usually the feed's title"_s);
    form->addRow(u"&Title:"_s, title);
    m_form.bindLine(u"image/title"_s, title);
    auto* link = Line(u"imageLink"_s, u"usually the feed's link"_s);
    form->addRow(u"&Link:"_s, link);
    m_form.bindLine(u"image/link"_s, link);
    auto* width = Line(u"imageWidth"_s, u"at most 144"_s);
    width->setValidator(new QIntValidator(1, 144, width));
    auto* height = Line(u"imageHeight"_s, u"at most 400"_s);
    height->setValidator(new QIntValidator(1, 400, height));
    form->addRow(u"&Width:"_s, Row({width, new QLabel(u"Height:"_s), height}));
    m_form.bindLine(u"image/width"_s, width);
    m_form.bindLine(u"image/height"_s, height);
    auto* description = Line(u"imageDescription"_s, u"the title attribute of the image's link"_s);
    form->addRow(u"&Description:"_s, description);
    m_form.bindLine(u"image/description"_s, description);
    m_preview = new QLabel;
    m_preview->setObjectName(u"imagePreview"_s);
    m_preview->setMinimumSize(160, 160);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setFrameShape(QFrame::StyledPanel);
    form->addRow(u"Preview:"_s, m_preview);
    return page;
}

QWidget* FeedPropertiesDialog::buildPodcast() {
    auto* page = new QWidget;
    QFormLayout* form = Form(page);
    auto* author = Line(u"itunesAuthor"_s);
    form->addRow(u"&Author:"_s, author);
    m_form.bindLine(u"itunes:author"_s, author);
    auto* ownerName = Line(u"itunesOwnerName"_s, u"name"_s);
    auto* ownerEmail = Line(u"itunesOwnerEmail"_s, u"email"_s);
    form->addRow(u"&Owner:"_s, Row({ownerName, ownerEmail}));
    m_form.bindLine(u"itunes:owner/itunes:name"_s, ownerName);
    m_form.bindLine(u"itunes:owner/itunes:email"_s, ownerEmail);
    auto* image =
        Line(u"itunesImage"_s, u"https://example.com/cover.jpg (square, 1400 to 3000 px)"_s);
    form->addRow(u"Artwor&k:"_s, image);
    m_form.bindLine(u"itunes:image@href"_s, image);

    m_category = Choice(u"itunesCategory"_s, {});
    for (const PodcastCategory& category : PodcastCategories())
        m_category->addItem(category.name, category.name);
    m_subcategory = new QComboBox;
    m_subcategory->setObjectName(u"itunesSubcategory"_s);
    form->addRow(u"&Category:"_s, Row({m_category, m_subcategory}));
    connect(m_category, &QComboBox::activated, this,
            [this] { fillSubcategories(m_category->currentText(), QString()); });
    // The subcategory first: it makes the category element when there is none.
    m_form.bindCustom(
        u"itunes:category/itunes:category@text"_s, [this] { return m_subcategory->currentText(); },
        [this](const QString& v) { fillSubcategories(m_category->currentText(), v); });
    m_form.bindCustom(
        u"itunes:category@text"_s, [this] { return m_category->currentText(); },
        [this](const QString& v) {
            const QString sub = m_subcategory->currentText();
            int at = m_category->findData(v);
            if (at < 0) {
                m_category->addItem(v, v);
                at = m_category->count() - 1;
            }
            m_category->setCurrentIndex(at);
            fillSubcategories(v, sub);
        });

    auto* explicitBox = Choice(u"itunesExplicit"_s, {u"true"_s, u"false"_s});
    auto* type = Choice(u"itunesType"_s, {u"episodic"_s, u"serial"_s});
    form->addRow(u"E&xplicit:"_s, Row({explicitBox, new QLabel(u"Type:"_s), type}));
    m_form.bindCombo(u"itunes:explicit"_s, explicitBox);
    m_form.bindCombo(u"itunes:type"_s, type);
    auto* complete = new QCheckBox(u"Co&mplete: no more episodes"_s);
    complete->setObjectName(u"itunesComplete"_s);
    auto* block = new QCheckBox(u"&Block: keep out of Apple's directory"_s);
    block->setObjectName(u"itunesBlock"_s);
    form->addRow(QString(), Row({complete, block}));
    m_form.bindCheck(u"itunes:complete"_s, complete, u"Yes"_s, QString());
    m_form.bindCheck(u"itunes:block"_s, block, u"Yes"_s, QString());
    auto* newFeedUrl = Line(u"itunesNewFeedUrl"_s, u"where the feed has moved to"_s);
    form->addRow(u"&New feed URL:"_s, newFeedUrl);
    m_form.bindLine(u"itunes:new-feed-url"_s, newFeedUrl);

    m_podcastGuid = Line(u"podcastGuid"_s);
    auto* computeGuid = new QPushButton(u"From &Feed URL"_s);
    computeGuid->setObjectName(u"computePodcastGuid"_s);
    computeGuid->setToolTip(u"The guid every podcast app derives from the feed's URL "
                            u"(General tab)"_s);
    connect(computeGuid, &QPushButton::clicked, this, [this] { computePodcastGuid(); });
    form->addRow(u"Podcast g&uid:"_s, Row({m_podcastGuid, computeGuid}));
    m_form.bindLine(u"podcast:guid"_s, m_podcastGuid);

    auto* locked = Choice(u"podcastLocked"_s, {u"yes"_s, u"no"_s});
    auto* lockOwner = Line(u"podcastLockedOwner"_s, u"owner's email"_s);
    form->addRow(u"&Locked:"_s, Row({locked, lockOwner}));
    m_form.bindGroup(
        u"podcast:locked"_s, [locked] { return locked->currentText(); },
        [locked](const QString& v) {
            const int at = locked->findText(v);
            if (at >= 0) {
                locked->setCurrentIndex(at);
            } else {
                locked->addItem(v, v);
                locked->setCurrentIndex(locked->count() - 1);
            }
        },
        {FieldForm::LinePart(u"owner"_s, lockOwner)});
    auto* fundingUrl = Line(u"podcastFundingUrl"_s, u"https://…"_s);
    auto* fundingText = Line(u"podcastFundingText"_s, u"Support the show"_s);
    form->addRow(u"Fun&ding:"_s, Row({fundingUrl, fundingText}));
    m_form.bindGroup(
        u"podcast:funding"_s, [fundingText] { return fundingText->text(); },
        [fundingText](const QString& v) { fundingText->setText(v); },
        {FieldForm::LinePart(u"url"_s, fundingUrl)});
    auto* medium = new QComboBox;
    medium->setObjectName(u"podcastMedium"_s);
    medium->setEditable(true);
    medium->addItems({QString(), u"podcast"_s, u"music"_s, u"video"_s, u"film"_s, u"audiobook"_s,
                      u"newsletter"_s, u"blog"_s});
    form->addRow(u"M&edium:"_s, medium);
    m_form.bindCombo(u"podcast:medium"_s, medium);

    m_mediaBaseUrl = Line(u"mediaBaseUrl"_s, u"https://example.com/media/"_s);
    m_mediaBaseUrl->setToolTip(u"An enclosure chosen from a local file gets this address "
                               u"followed by the file's name"_s);
    form->addRow(u"Media ba&se URL:"_s, m_mediaBaseUrl);
    return page;
}

void FeedPropertiesDialog::fillSubcategories(const QString& category, const QString& chosen) {
    m_subcategory->clear();
    m_subcategory->addItem(QString());
    m_subcategory->addItems(PodcastSubcategories(category));
    if (!chosen.isEmpty() && m_subcategory->findText(chosen) < 0)
        m_subcategory->addItem(chosen);
    m_subcategory->setCurrentIndex(qMax(0, m_subcategory->findText(chosen)));
    m_subcategory->setEnabled(m_subcategory->count() > 1);
}

void FeedPropertiesDialog::computePodcastGuid() {
    const QString url = m_selfUrl->text().trimmed();
    if (url.isEmpty()) {
        QMessageBox::information(this, windowTitle(),
                                 u"Enter the feed's own URL on the General tab first: the "
                                 u"podcast guid is made from it."_s);
        return;
    }
    m_podcastGuid->setText(PodcastGuidForUrl(url));
}

QString FeedPropertiesDialog::previewState() const {
    return m_previewState;
}

void FeedPropertiesDialog::loadPreview() {
    const quint64 generation = ++m_previewGeneration;
    const QString text = m_imageUrl->text().trimmed();
    if (text.isEmpty()) {
        showPreview({}, u"No image"_s);
        return;
    }
    const QUrl url = QUrl::fromUserInput(text);
    if (url.isLocalFile()) {
        const QFileInfo info(url.toLocalFile());
        if (!info.isFile())
            showPreview({}, u"No such file"_s);
        else if (info.size() > kPreviewMaxBytes)
            showPreview({}, u"Too large to preview"_s);
        else
            showPreview(ReadSmallFile(info.filePath()), QString());
        return;
    }
    if (url.scheme() != u"http"_s && url.scheme() != u"https"_s) {
        showPreview({}, u"Not a web address"_s);
        return;
    }
    m_previewState = u"loading"_s;
    m_preview->setText(u"Loading…"_s);
    MediaWorkers::instance().fetchBytes(
        url.toString(), kPreviewMaxBytes, this,
        [this, generation](bool ok, const QByteArray& bytes, const QString& error) {
            if (generation != m_previewGeneration)
                return;
            showPreview(bytes, ok ? QString() : error);
        });
}

void FeedPropertiesDialog::showPreview(const QByteArray& bytes, const QString& error) {
    if (!error.isEmpty()) {
        m_preview->setPixmap(QPixmap());
        m_preview->setText(error);
        m_previewState = error;
        emit previewDone(false);
        return;
    }
    QPixmap pixmap;
    if (bytes.isEmpty() || !pixmap.loadFromData(bytes)) {
        showPreview({}, u"Not an image"_s);
        return;
    }
    m_preview->setPixmap(pixmap.scaled(144, 400, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_previewState = u"shown"_s;
    emit previewDone(true);
}

void FeedPropertiesDialog::refuse(QWidget* field, const QString& why) {
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->widget(i)->isAncestorOf(field))
            m_tabs->setCurrentIndex(i);
    }
    field->setFocus(Qt::OtherFocusReason);
    m_error->setText(why);
    m_error->show();
}

FeedOptions FeedPropertiesDialog::chosenOptions() const {
    FeedOptions options = m_doc ? m_doc->GetFeedOptions() : FeedOptions();
    options.writeGenerator = m_writeGenerator->isChecked();
    options.renewLastBuildDate = m_renewBuildDate->isChecked();
    options.renewPubDateOnEdit = m_renewPostDate->isChecked();
    options.mediaBaseUrl = m_mediaBaseUrl->text().trimmed();
    return options;
}

void FeedPropertiesDialog::accept() {
    if (!m_doc) {
        QDialog::accept();
        return;
    }
    // A number out of its range (a width past 144) can be typed, not kept.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        if (edit->validator() && !edit->text().isEmpty() && !edit->hasAcceptableInput()) {
            const auto* range = qobject_cast<const QIntValidator*>(edit->validator());
            refuse(edit, range ? u"%1 is not a number from %2 to %3."_s.arg(edit->text())
                                     .arg(range->bottom())
                                     .arg(range->top())
                               : u"%1 is not a valid value here."_s.arg(edit->text()));
            return;
        }
    }
    const QString buildDate = m_lastBuildDate->text().trimmed();
    if (!buildDate.isEmpty() && !TryParseRssDate(buildDate)) {
        refuse(m_lastBuildDate, u"The last build date is not a date readers understand. Write it "
                                u"like 05 Dec 2026 10:45:34 GMT, or leave it empty."_s);
        return;
    }
    const QList<FieldEdit> edits = m_form.edits(m_doc->GetFeed().GetChannelNode());
    QString error;
    if (!edits.isEmpty() && !m_doc->ApplyFieldEdits(-1, edits, nullptr, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             u"The properties could not be set: %1"_s.arg(error));
        return;
    }
    const FeedOptions options = chosenOptions();
    if (!(options == m_doc->GetFeedOptions()) && !m_doc->SetFeedOptions(options)) {
        QMessageBox::warning(this, windowTitle(),
                             u"The feed's options could not be written to the settings file."_s);
    }
    QDialog::accept();
}
