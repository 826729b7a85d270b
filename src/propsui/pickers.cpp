#include "propsui/pickers.h"

#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMap>
#include <QTimer>

using namespace Qt::StringLiterals;

const QList<PodcastCategory>& PodcastCategories() {
    static const QList<PodcastCategory> categories = {
        {u"Arts"_s,
         {u"Books"_s, u"Design"_s, u"Fashion & Beauty"_s, u"Food"_s, u"Performing Arts"_s,
          u"Visual Arts"_s}},
        {u"Business"_s,
         {u"Careers"_s, u"Entrepreneurship"_s, u"Investing"_s, u"Management"_s, u"Marketing"_s,
          u"Non-Profit"_s}},
        {u"Comedy"_s, {u"Comedy Interviews"_s, u"Improv"_s, u"Stand-Up"_s}},
        {u"Education"_s,
         {u"Courses"_s, u"How To"_s, u"Language Learning"_s, u"Self-Improvement"_s}},
        {u"Fiction"_s, {u"Comedy Fiction"_s, u"Drama"_s, u"Science Fiction"_s}},
        {u"Government"_s, {}},
        {u"History"_s, {}},
        {u"Health & Fitness"_s,
         {u"Alternative Health"_s, u"Fitness"_s, u"Medicine"_s, u"Mental Health"_s, u"Nutrition"_s,
          u"Sexuality"_s}},
        {u"Kids & Family"_s,
         {u"Education for Kids"_s, u"Parenting"_s, u"Pets & Animals"_s, u"Stories for Kids"_s}},
        {u"Leisure"_s,
         {u"Animation & Manga"_s, u"Automotive"_s, u"Aviation"_s, u"Crafts"_s, u"Games"_s,
          u"Hobbies"_s, u"Home & Garden"_s, u"Video Games"_s}},
        {u"Music"_s, {u"Music Commentary"_s, u"Music History"_s, u"Music Interviews"_s}},
        {u"News"_s,
         {u"Business News"_s, u"Daily News"_s, u"Entertainment News"_s, u"News Commentary"_s,
          u"Politics"_s, u"Sports News"_s, u"Tech News"_s}},
        {u"Religion & Spirituality"_s,
         {u"Buddhism"_s, u"Christianity"_s, u"Hinduism"_s, u"Islam"_s, u"Judaism"_s, u"Religion"_s,
          u"Spirituality"_s}},
        {u"Science"_s,
         {u"Astronomy"_s, u"Chemistry"_s, u"Earth Sciences"_s, u"Life Sciences"_s, u"Mathematics"_s,
          u"Natural Sciences"_s, u"Nature"_s, u"Physics"_s, u"Social Sciences"_s}},
        {u"Society & Culture"_s,
         {u"Documentary"_s, u"Personal Journals"_s, u"Philosophy"_s, u"Places & Travel"_s,
          u"Relationships"_s}},
        {u"Sports"_s,
         {u"Baseball"_s, u"Basketball"_s, u"Cricket"_s, u"Fantasy Sports"_s, u"Football"_s,
          u"Golf"_s, u"Hockey"_s, u"Rugby"_s, u"Running"_s, u"Soccer"_s, u"Swimming"_s, u"Tennis"_s,
          u"Volleyball"_s, u"Wilderness"_s, u"Wrestling"_s}},
        {u"Technology"_s, {}},
        {u"True Crime"_s, {}},
        {u"TV & Film"_s,
         {u"After Shows"_s, u"Film History"_s, u"Film Interviews"_s, u"Film Reviews"_s,
          u"TV Reviews"_s}},
    };
    return categories;
}

QStringList PodcastSubcategories(const QString& category) {
    for (const PodcastCategory& c : PodcastCategories()) {
        if (c.name == category)
            return c.subcategories;
    }
    return {};
}

const QList<QPair<QString, QString>>& LanguageTags() {
    static const QList<QPair<QString, QString>> tags = [] {
        QMap<QString, QString> byTag;
        const QList<QLocale> locales = QLocale::matchingLocales(
            QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
        for (const QLocale& locale : locales) {
            if (locale.language() == QLocale::C)
                continue;
            const QString language = QLocale::languageToString(locale.language());
            const QString code = QLocale::languageToCode(locale.language());
            if (!byTag.contains(code))
                byTag.insert(code, language);
            if (locale.territory() == QLocale::AnyTerritory)
                continue;
            const QString tag =
                (code + u'-' + QLocale::territoryToCode(locale.territory())).toLower();
            if (!byTag.contains(tag))
                byTag.insert(tag, u"%1 (%2)"_s.arg(language,
                                                   QLocale::territoryToString(locale.territory())));
        }
        QList<QPair<QString, QString>> list;
        for (auto it = byTag.cbegin(); it != byTag.cend(); ++it)
            list.append({it.key(), it.value()});
        return list;
    }();
    return tags;
}

void MakeLanguageBox(QComboBox* box) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(16);
    for (const auto& [tag, name] : LanguageTags())
        box->addItem(tag + u"  "_s + name, tag);
    auto* completer = new QCompleter(box->model(), box);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    box->setCompleter(completer);
    // A chosen entry leaves its tag alone in the field: the tag is the value.
    QObject::connect(box, &QComboBox::activated, box,
                     [box](int index) { box->setEditText(box->itemData(index).toString()); });
    QObject::connect(completer, qOverload<const QString&>(&QCompleter::activated), box,
                     [box](const QString& text) {
                         // After the completer has written its own text into the field.
                         QTimer::singleShot(0, box,
                                            [box, text] { box->setEditText(LanguageTagOf(text)); });
                     });
    box->setEditText(QString());
}

QString LanguageTagOf(const QString& text) {
    return text.trimmed().section(u' ', 0, 0);
}

QComboBox* MakeChoiceBox(const QString& name, const QStringList& values) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItem(QString(), QString());
    for (const QString& value : values)
        box->addItem(value, value);
    return box;
}

QWidget* MakeRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : widgets)
        layout->addWidget(w);
    return row;
}
