#include "propsui/postpropertiespane.h"

#include "document/rsseditdoc.h"
#include "feed/feedoptions.h"
#include "media/mediaworkers.h"
#include "platform/settingsfile.h"
#include "propsui/categorytable.h"
#include "propsui/pickers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Settings"_s;
const QString kOpenKey = u"PostPropertiesPane"_s;
const QString kChaptersType = u"application/json+chapters"_s;

QLineEdit* Line(const QString& name, const QString& placeholder = QString()) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    return edit;
}

// A box as wide as its field allows, not as its longest entry.
void Narrow(QComboBox* box) {
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(6);
}

// A fixed choice whose first entry, blank, leaves the tag out.
QComboBox* Choice(const QString& name, const QStringList& values) {
    QComboBox* box = MakeChoiceBox(name, values);
    Narrow(box);
    return box;
}

QWidget* Row(std::initializer_list<QWidget*> widgets) {
    return MakeRow(widgets);
}

QFormLayout* Form(QGroupBox* box) {
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

} // namespace

PostPropertiesPane::PostPropertiesPane(CRSSEditDoc* doc, DocumentListener* sender, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_sender(sender) {
    setObjectName(u"postProperties"_s);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);

    auto* header = new QHBoxLayout;
    m_toggle = new QToolButton;
    m_toggle->setObjectName(u"postPropertiesToggle"_s);
    m_toggle->setText(u"Post Properties"_s);
    m_toggle->setToolTip(u"Show or hide the date, guid, categories, enclosure and podcast tags "
                         u"of the post"_s);
    m_toggle->setCheckable(true);
    m_toggle->setAutoRaise(true);
    m_toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->addWidget(m_toggle);
    m_status = new QLabel;
    m_status->setObjectName(u"postPropertiesStatus"_s);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->addWidget(m_status, 1);
    layout->addLayout(header);

    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->addWidget(buildPostGroup(), 1);
    columns->addWidget(buildEnclosureGroup(), 1);
    columns->addWidget(buildPodcastGroup(), 1);
    m_body = new QScrollArea;
    m_body->setWidget(content);
    m_body->setWidgetResizable(true);
    m_body->setFrameShape(QFrame::NoFrame);
    // The columns narrow with the window rather than scroll sideways.
    m_body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tall enough for the enclosure and podcast columns; the face keeps the rest.
    m_body->setMinimumHeight(160);
    m_body->setMaximumHeight(270);
    layout->addWidget(m_body);

    const bool open = ReadProfileNumber(SettingsIniPath(), kSection, kOpenKey, 0) != 0;
    m_toggle->setChecked(open);
    m_toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    m_body->setVisible(open);
    connect(m_toggle, &QToolButton::toggled, this, [this](bool open) { setFolded(!open); });

    connect(&m_form, &FieldForm::edited, this, [this](bool commit) {
        if (commit)
            flush();
    });
    m_body->setEnabled(false);
}

void PostPropertiesPane::setReadOnlyFeed(bool readOnly) {
    m_readOnly = readOnly;
    m_body->setEnabled(!m_readOnly && m_item);
}

QWidget* PostPropertiesPane::buildPostGroup() {
    // Mnemonics here avoid the menu bar's letters (f e p d r i v t w h): the
    // pane lives in the main window beside the menus.
    auto* box = new QGroupBox(u"Post"_s);
    QFormLayout* form = Form(box);

    m_date = new QDateTimeEdit;
    m_date->setObjectName(u"postDate"_s);
    // No weekday: with one, changing the year would move the day to keep it.
    m_date->setDisplayFormat(u"dd MMM yyyy HH:mm:ss 'GMT'"_s);
    m_date->setCalendarPopup(true);
    form->addRow(u"D&ate:"_s, m_date);
    m_form.bindDate(u"pubDate"_s, m_date);

    m_guid = Line(u"postGuid"_s, u"a unique, unchanging id"_s);
    m_permaLink = new QCheckBox(u"Permalin&k"_s);
    m_permaLink->setObjectName(u"postPermaLink"_s);
    m_permaLink->setToolTip(u"The guid is the post's address on the web"_s);
    form->addRow(u"&Guid:"_s, Row({m_guid, m_permaLink}));
    m_form.bindLine(u"guid"_s, m_guid);
    m_form.bindCheck(u"guid@isPermaLink"_s, m_permaLink, u"true"_s, u"false"_s, true);

    m_comments = Line(u"postComments"_s, u"https://"_s);
    form->addRow(u"Co&mments:"_s, m_comments);
    m_form.bindLine(u"comments"_s, m_comments);

    m_sourceTitle = Line(u"postSourceTitle"_s, u"title of the feed it came from"_s);
    m_sourceUrl = Line(u"postSourceUrl"_s, u"address of that feed"_s);
    form->addRow(u"&Source:"_s, m_sourceTitle);
    form->addRow(u"Source &URL:"_s, m_sourceUrl);
    m_form.bindGroup(
        u"source"_s, [this] { return m_sourceTitle->text(); },
        [this](const QString& v) { m_sourceTitle->setText(v); },
        {FieldForm::LinePart(u"url"_s, m_sourceUrl)});
    connect(m_sourceTitle, &QLineEdit::editingFinished, this, [this] { flush(); });
    connect(m_sourceUrl, &QLineEdit::editingFinished, this, [this] { flush(); });

    m_categories = new CategoryTable(u"Category"_s, u"Domain"_s);
    m_categories->setObjectName(u"postCategories"_s);
    form->addRow(u"&Categories:"_s, m_categories);
    m_form.bindList(u"category"_s, u"domain"_s, m_categories);
    return box;
}

QWidget* PostPropertiesPane::buildEnclosureGroup() {
    auto* box = new QGroupBox(u"Enclosure"_s);
    QFormLayout* form = Form(box);
    m_enclosureUrl = Line(u"enclosureUrl"_s, u"https://example.com/media/episode.mp3"_s);
    m_enclosureLength = Line(u"enclosureLength"_s, u"bytes"_s);
    m_enclosureLength->setValidator(
        new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,18}"_s), m_enclosureLength));
    m_enclosureType = Line(u"enclosureType"_s, u"audio/mpeg"_s);
    form->addRow(u"UR&L:"_s, m_enclosureUrl);
    form->addRow(u"Le&ngth:"_s, m_enclosureLength);
    form->addRow(u"T&ype:"_s, m_enclosureType);
    m_form.bindGroup(u"enclosure"_s, {}, {},
                     {FieldForm::LinePart(u"url"_s, m_enclosureUrl),
                      FieldForm::LinePart(u"length"_s, m_enclosureLength),
                      FieldForm::LinePart(u"type"_s, m_enclosureType)});
    for (QLineEdit* edit : {m_enclosureUrl, m_enclosureLength, m_enclosureType})
        connect(edit, &QLineEdit::editingFinished, this, [this] { flush(); });

    m_chooseFile = new QPushButton(u"Choose Media File…"_s);
    m_chooseFile->setObjectName(u"chooseMediaFile"_s);
    m_chooseFile->setToolTip(u"Fill the enclosure from a media file on this computer: its "
                             u"address under the feed's media base URL, length, type and "
                             u"duration"_s);
    m_fetch = new QPushButton(u"Fetch Length and Type"_s);
    m_fetch->setObjectName(u"fetchEnclosure"_s);
    m_fetch->setToolTip(u"Ask the server for the length and type of the file at the URL"_s);
    form->addRow(m_chooseFile);
    form->addRow(m_fetch);
    connect(m_chooseFile, &QPushButton::clicked, this, [this] { chooseMediaFile(); });
    connect(m_fetch, &QPushButton::clicked, this, [this] { fetchEnclosureFacts(); });
    return box;
}

QWidget* PostPropertiesPane::buildPodcastGroup() {
    auto* box = new QGroupBox(u"Podcast"_s);
    QFormLayout* form = Form(box);
    auto* episodeTitle = Line(u"itunesTitle"_s);
    form->addRow(u"Episode title:"_s, episodeTitle);
    m_form.bindLine(u"itunes:title"_s, episodeTitle);

    auto* episode = Line(u"itunesEpisode"_s, u"number"_s);
    episode->setValidator(new QIntValidator(0, 999999, episode));
    auto* season = Line(u"itunesSeason"_s, u"number"_s);
    season->setValidator(new QIntValidator(0, 999999, season));
    form->addRow(u"Episode:"_s, Row({episode, new QLabel(u"Season:"_s), season}));
    m_form.bindLine(u"itunes:episode"_s, episode);
    m_form.bindLine(u"itunes:season"_s, season);

    auto* episodeType = Choice(u"itunesEpisodeType"_s, {u"full"_s, u"trailer"_s, u"bonus"_s});
    auto* explicitBox = Choice(u"itunesExplicit"_s, {u"true"_s, u"false"_s});
    form->addRow(u"Episode type:"_s, Row({episodeType, new QLabel(u"Explicit:"_s), explicitBox}));
    m_form.bindCombo(u"itunes:episodeType"_s, episodeType);
    m_form.bindCombo(u"itunes:explicit"_s, explicitBox);

    auto* image = Line(u"itunesImage"_s, u"https://…/cover.jpg"_s);
    form->addRow(u"Episode image:"_s, image);
    m_form.bindLine(u"itunes:image@href"_s, image);

    m_duration = Line(u"itunesDuration"_s, u"seconds or hh:mm:ss"_s);
    form->addRow(u"Durati&on:"_s, m_duration);
    m_form.bindLine(u"itunes:duration"_s, m_duration);

    auto* transcriptUrl = Line(u"transcriptUrl"_s, u"https://…/transcript.vtt"_s);
    auto* transcriptType = new QComboBox;
    transcriptType->setObjectName(u"transcriptType"_s);
    transcriptType->setEditable(true);
    Narrow(transcriptType);
    transcriptType->addItems({QString(), u"text/vtt"_s, u"application/x-subrip"_s,
                              u"application/json"_s, u"text/html"_s, u"text/plain"_s});
    auto* transcriptLanguage = Line(u"transcriptLanguage"_s, u"en"_s);
    transcriptLanguage->setMaximumWidth(70);
    form->addRow(u"Transcript:"_s, transcriptUrl);
    form->addRow(QString(), Row({transcriptType, transcriptLanguage}));
    m_form.bindGroup(
        u"podcast:transcript"_s, {}, {},
        {FieldForm::LinePart(u"url"_s, transcriptUrl),
         {u"type"_s, [transcriptType] { return transcriptType->currentText().trimmed(); },
          [transcriptType](const QString& v) { transcriptType->setEditText(v); }},
         FieldForm::LinePart(u"language"_s, transcriptLanguage)});
    connect(transcriptUrl, &QLineEdit::editingFinished, this, [this] { flush(); });
    connect(transcriptLanguage, &QLineEdit::editingFinished, this, [this] { flush(); });
    connect(transcriptType, &QComboBox::activated, this, [this] { flush(); });
    connect(transcriptType->lineEdit(), &QLineEdit::editingFinished, this, [this] { flush(); });

    // Chapters are JSON files of one type; the type goes with the address.
    auto* chapters = Line(u"chaptersUrl"_s, u"https://…/chapters.json"_s);
    form->addRow(u"Chapters:"_s, chapters);
    m_form.bindGroup(u"podcast:chapters"_s, {}, {},
                     {FieldForm::LinePart(u"url"_s, chapters),
                      FieldForm::TypePart(u"type"_s, chapters, kChaptersType)});
    connect(chapters, &QLineEdit::editingFinished, this, [this] { flush(); });
    return box;
}

bool PostPropertiesPane::isFolded() const {
    return !m_toggle->isChecked();
}

void PostPropertiesPane::setFolded(bool folded) {
    if (m_toggle->isChecked() == folded) {
        // The button's toggled signal comes back here with the new state.
        m_toggle->setChecked(!folded);
        return;
    }
    m_toggle->setArrowType(folded ? Qt::RightArrow : Qt::DownArrow);
    m_body->setVisible(!folded);
    WriteProfileNumber(SettingsIniPath(), kSection, kOpenKey, folded ? 0 : 1);
}

int PostPropertiesPane::shownPost() const {
    if (!m_doc || !m_item)
        return -1;
    return m_doc->FindPost(m_item, m_index);
}

void PostPropertiesPane::showPost(int index) {
    flush();
    ++m_generation;
    if (!m_doc || index < 0 || index >= m_doc->GetPostCount()) {
        forgetPost();
        return;
    }
    m_item = m_doc->GetFeed().GetItemNode(index);
    m_index = index;
    m_form.load(m_item);
    m_body->setEnabled(!m_readOnly);
    setStatus(QString());
}

void PostPropertiesPane::forgetPost() {
    ++m_generation;
    m_item = pugi::xml_node();
    m_index = -1;
    m_form.load(pugi::xml_node());
    m_body->setEnabled(false);
}

bool PostPropertiesPane::flush() {
    if (!m_doc || !m_item)
        return true;
    const int index = shownPost();
    if (index < 0) {
        // The post went (deleted by another window): its edits have nowhere to go.
        forgetPost();
        return false;
    }
    m_index = index;
    const QList<FieldEdit> edits = m_form.edits(m_item);
    if (edits.isEmpty())
        return true;
    QString error;
    const bool done = m_doc->ApplyFieldEdits(index, edits, m_sender, &error);
    m_form.markApplied();
    if (!done)
        setStatus(error, true);
    return done;
}

void PostPropertiesPane::refresh() {
    if (!m_item || m_form.isPending())
        return;
    const int index = shownPost();
    if (index < 0) {
        forgetPost();
        return;
    }
    m_index = index;
    m_form.load(m_item);
}

void PostPropertiesPane::setStatus(const QString& text, bool error) {
    m_status->setText(text);
    m_status->setStyleSheet(error ? u"color: #b00020"_s : QString());
}

void PostPropertiesPane::chooseMediaFile() {
    QFileDialog dialog(this, u"Choose Media File"_s);
    dialog.setObjectName(u"mediaFileDialog"_s);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({u"Audio and video (*.mp3 *.m4a *.m4b *.aac *.ogg *.oga *.opus *.flac "
                           u"*.wav *.mp4 *.m4v *.mov *.webm)"_s,
                           u"All files (*)"_s});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    useLocalMediaFile(dialog.selectedFiles().constFirst());
}

void PostPropertiesPane::useLocalMediaFile(const QString& path) {
    if (!m_item)
        return;
    const quint64 generation = m_generation;
    setStatus(u"Reading %1…"_s.arg(QFileInfo(path).fileName()));
    MediaWorkers::instance().probeLocal(
        path, this,
        [this, path, generation](bool ok, const MediaFacts& facts, const QString& error) {
            if (generation != m_generation) {
                setStatus(u"Another post is shown now: the enclosure was not changed."_s, true);
                emit mediaProbeFinished(false);
                return;
            }
            if (!ok) {
                setStatus(u"%1: %2"_s.arg(path, error), true);
                emit mediaProbeFinished(false);
                return;
            }
            const QString base = m_doc ? m_doc->GetFeedOptions().mediaBaseUrl : QString();
            m_enclosureUrl->setText(MediaUrlFor(base, QFileInfo(path).fileName()));
            m_enclosureLength->setText(QString::number(facts.length));
            m_enclosureType->setText(facts.type.isEmpty() ? u"application/octet-stream"_s
                                                          : facts.type);
            if (facts.durationSeconds >= 0)
                m_duration->setText(QString::number(facts.durationSeconds));
            flush();
            setStatus(base.isEmpty() ? u"The feed has no media base URL (Feed > Properties…): "
                                       u"the URL is the file's name alone."_s
                                     : QString(),
                      base.isEmpty());
            emit mediaProbeFinished(true);
        });
}

void PostPropertiesPane::fetchEnclosureFacts() {
    const QString url = m_enclosureUrl->text().trimmed();
    if (!m_item || url.isEmpty()) {
        setStatus(u"Enter the enclosure's URL first."_s, true);
        return;
    }
    const quint64 generation = m_generation;
    setStatus(u"Asking %1…"_s.arg(url));
    m_fetch->setEnabled(false);
    MediaWorkers::instance().probeRemote(
        url, this, [this, url, generation](bool ok, const MediaFacts& facts, const QString& error) {
            m_fetch->setEnabled(true);
            if (generation != m_generation) {
                setStatus(u"Another post is shown now: the enclosure was not changed."_s, true);
                emit mediaProbeFinished(false);
                return;
            }
            // The URL may have been edited while the server was asked.
            if (!ok || m_enclosureUrl->text().trimmed() != url) {
                setStatus(ok ? u"The URL changed while the server was asked."_s
                             : u"%1: %2"_s.arg(url, error),
                          true);
                emit mediaProbeFinished(false);
                return;
            }
            m_enclosureLength->setText(QString::number(facts.length));
            if (!facts.type.isEmpty())
                m_enclosureType->setText(facts.type);
            flush();
            setStatus(QString());
            emit mediaProbeFinished(true);
        });
}
