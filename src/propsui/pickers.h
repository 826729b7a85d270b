// Lists the property editors offer: language tags with their names, and the
// podcast categories Apple's directory knows, in two levels.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QComboBox;
class QWidget;

struct PodcastCategory {
    QString name;
    QStringList subcategories;
};

// Apple's podcast categories, in the order it publishes them.
const QList<PodcastCategory>& PodcastCategories();
// The subcategories of a category; empty for an unknown one.
QStringList PodcastSubcategories(const QString& category);

// Every language tag Qt knows a locale for ("de", "de-at", lower case as
// feeds write them), sorted, each with its name ("German (Austria)").
const QList<QPair<QString, QString>>& LanguageTags();
// Makes box an editable list of language tags, searchable by tag or name
// as the user types; any other text may be typed too.
void MakeLanguageBox(QComboBox* box);
// The tag in a language box's text ("de-at" of "de-at  German (Austria)").
QString LanguageTagOf(const QString& text);

// A fixed choice named name whose first entry, blank, leaves the tag out.
QComboBox* MakeChoiceBox(const QString& name, const QStringList& values);
// The widgets side by side, with no margins of their own.
QWidget* MakeRow(std::initializer_list<QWidget*> widgets);
