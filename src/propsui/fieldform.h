// Widgets bound to fields of the channel or of a post (paths as feedfields.h
// reads them). A form loads every widget from an element, and afterwards
// tells which fields the user changed, as edits for the document. Only
// changed fields become edits, so what the user left alone stays in the file
// exactly as it was.
#pragma once

#include "feed/feedfields.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <pugixml.hpp>

class CategoryTable;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;

class FieldForm final : public QObject {
    Q_OBJECT
public:
    using Getter = std::function<QString()>;
    using Setter = std::function<void(const QString&)>;

    explicit FieldForm(QObject* parent = nullptr) : QObject(parent) {}

    // One text: an element's or an attribute's.
    void bindLine(const QString& path, QLineEdit* edit);
    // An editable box takes its text; a fixed one the current item's data
    // (its text when it has none).
    void bindCombo(const QString& path, QComboBox* box);
    // Checked writes on, unchecked off; a missing field reads as checked
    // when absentChecked. An empty off removes the field.
    void bindCheck(const QString& path, QCheckBox* box, const QString& on, const QString& off,
                   bool absentChecked = false);
    // A date in the feed's form, shown and edited in UTC. A field the user
    // has not touched is never rewritten (a zone of its own stays).
    void bindDate(const QString& path, QDateTimeEdit* edit);
    // Repeated elements with an optional attribute (categories and their domain).
    void bindList(const QString& path, const QString& attribute, CategoryTable* table);
    // Any other widget, through its own getter and setter.
    void bindCustom(const QString& path, Getter get, Setter set);

    // One element (the first of its path) whose text and attributes are
    // edited together: enclosure (url, length, type), source (text, url).
    // Further elements of the same path stay as they are. When every part is
    // empty the element goes. textGet may be empty for an element without
    // text of its own.
    struct Part {
        QString attribute;
        Getter get;
        Setter set;
    };
    void bindGroup(const QString& elementPath, Getter textGet, Setter textSet,
                   const QList<Part>& parts);
    // A line edit as a part of a group.
    static Part LinePart(const QString& attribute, QLineEdit* edit);
    // The type attribute that goes with the address in edit: the file's own
    // type while there is an address, else defaultType; none without one.
    static Part TypePart(const QString& attribute, QLineEdit* edit, const QString& defaultType);

    // Fills every widget from the element (null: empties them).
    void load(pugi::xml_node context);
    // What changed since load, as edits for the element load read.
    QList<FieldEdit> edits(pugi::xml_node context) const;
    // The widgets' values become the loaded ones (after the edits went in).
    void markApplied();
    // Whether any field differs from what was loaded.
    bool isPending() const;

signals:
    // The user changed a widget; commit says the change is complete (a box
    // chosen, a line left) rather than under way (a key typed in a line).
    void edited(bool commit);

private:
    struct Simple {
        QString path;
        Getter get;
        Setter set;
        // What the loaded value counts as (a check box's missing field).
        std::function<QString(const QString&)> normalize;
        QString loaded;
    };
    struct Group {
        QString path;
        Getter textGet;
        Setter textSet;
        QList<Part> parts;
        QStringList loaded;
    };
    struct List {
        QString path;
        QString attribute;
        CategoryTable* table;
        QList<RepeatedValue> loaded;
    };
    QStringList groupValues(const Group& group) const;
    QList<RepeatedValue> listValues(const List& list) const;

    // In binding order, which is the order of the edits.
    struct Entry {
        int kind;
        qsizetype index;
    };
    QList<Entry> m_order;
    QList<Simple> m_simple;
    QList<Group> m_groups;
    QList<List> m_lists;
    // Dates the user touched since load.
    QList<QDateTimeEdit*> m_dates;
    QList<QDateTimeEdit*> m_touchedDates;
};
