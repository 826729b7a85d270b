#include "propsui/fieldform.h"

#include "feed/rssdate.h"
#include "propsui/categorytable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum Kind { KindSimple, KindGroup, KindList };

QString Identity(const QString& value) {
    return value;
}

} // namespace

void FieldForm::bindCustom(const QString& path, Getter get, Setter set) {
    m_order.append({KindSimple, m_simple.size()});
    m_simple.append({path, std::move(get), std::move(set), Identity, QString()});
}

void FieldForm::bindLine(const QString& path, QLineEdit* edit) {
    bindCustom(
        path, [edit] { return edit->text(); }, [edit](const QString& v) { edit->setText(v); });
    connect(edit, &QLineEdit::textEdited, this, [this] { emit edited(false); });
    connect(edit, &QLineEdit::editingFinished, this, [this] { emit edited(true); });
}

void FieldForm::bindCombo(const QString& path, QComboBox* box) {
    if (box->isEditable()) {
        bindCustom(
            path, [box] { return box->currentText().trimmed(); },
            [box](const QString& v) { box->setEditText(v); });
        connect(box->lineEdit(), &QLineEdit::textEdited, this, [this] { emit edited(false); });
        connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this] { emit edited(true); });
        connect(box, &QComboBox::activated, this, [this] { emit edited(true); });
        return;
    }
    const auto valueAt = [box](int i) {
        const QVariant data = box->itemData(i);
        return data.isValid() ? data.toString() : box->itemText(i);
    };
    bindCustom(
        path,
        [box, valueAt] {
            return box->currentIndex() < 0 ? QString() : valueAt(box->currentIndex());
        },
        [box, valueAt](const QString& v) {
            for (int i = 0; i < box->count(); ++i) {
                if (valueAt(i) == v) {
                    box->setCurrentIndex(i);
                    return;
                }
            }
            // A value the list lacks is shown as it stands rather than lost.
            box->addItem(v, v);
            box->setCurrentIndex(box->count() - 1);
        });
    connect(box, &QComboBox::activated, this, [this] { emit edited(true); });
}

void FieldForm::bindCheck(const QString& path, QCheckBox* box, const QString& on,
                          const QString& off, bool absentChecked) {
    m_order.append({KindSimple, m_simple.size()});
    const auto normalize = [on, off, absentChecked](const QString& v) {
        if (v.isEmpty())
            return absentChecked ? on : off;
        return v;
    };
    m_simple.append({path, [box, on, off] { return box->isChecked() ? on : off; },
                     [box, on, absentChecked](const QString& v) {
                         box->setChecked(v.isEmpty() ? absentChecked
                                                     : v.compare(on, Qt::CaseInsensitive) == 0);
                     },
                     normalize, QString()});
    connect(box, &QCheckBox::clicked, this, [this] { emit edited(true); });
}

void FieldForm::bindDate(const QString& path, QDateTimeEdit* edit) {
    m_dates.append(edit);
    edit->setTimeSpec(Qt::UTC);
    m_order.append({KindSimple, m_simple.size()});
    // The getter answers the loaded text until the user touches the date.
    auto loaded = std::make_shared<QString>();
    m_simple.append({path,
                     [this, edit, loaded] {
                         if (!m_touchedDates.contains(edit))
                             return *loaded;
                         return FormatRssDate(edit->dateTime().toUTC());
                     },
                     [edit, loaded](const QString& v) {
                         *loaded = v;
                         const std::optional<QDateTime> read = TryParseRssDate(v);
                         // The reader gives the time as written; the feed writes GMT.
                         QDateTime shown = read ? QDateTime(read->date(), read->time(), Qt::UTC)
                                                : QDateTime::currentDateTimeUtc();
                         edit->setDateTime(shown);
                     },
                     Identity, QString()});
    connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this, edit] {
        if (!m_touchedDates.contains(edit))
            m_touchedDates.append(edit);
        emit edited(false);
    });
    connect(edit, &QDateTimeEdit::editingFinished, this, [this] { emit edited(true); });
}

void FieldForm::bindList(const QString& path, const QString& attribute, CategoryTable* table) {
    m_order.append({KindList, m_lists.size()});
    m_lists.append({path, attribute, table, {}});
    connect(table, &CategoryTable::valuesEdited, this, [this] { emit edited(true); });
}

FieldForm::Part FieldForm::LinePart(const QString& attribute, QLineEdit* edit) {
    return {attribute, [edit] { return edit->text(); },
            [edit](const QString& v) { edit->setText(v); }};
}

FieldForm::Part FieldForm::TypePart(const QString& attribute, QLineEdit* edit,
                                    const QString& defaultType) {
    auto loaded = std::make_shared<QString>();
    return {attribute,
            [edit, loaded, defaultType] {
                if (edit->text().isEmpty())
                    return QString();
                return loaded->isEmpty() ? defaultType : *loaded;
            },
            [loaded](const QString& v) { *loaded = v; }};
}

void FieldForm::bindGroup(const QString& elementPath, Getter textGet, Setter textSet,
                          const QList<Part>& parts) {
    m_order.append({KindGroup, m_groups.size()});
    m_groups.append({elementPath, std::move(textGet), std::move(textSet), parts, {}});
}

QStringList FieldForm::groupValues(const Group& group) const {
    QStringList values;
    values.append(group.textGet ? group.textGet() : QString());
    for (const Part& part : group.parts)
        values.append(part.get());
    return values;
}

QList<RepeatedValue> FieldForm::listValues(const List& list) const {
    QList<RepeatedValue> values;
    for (const auto& [text, attribute] : list.table->values()) {
        RepeatedValue value;
        value.text = text;
        if (!list.attribute.isEmpty() && !attribute.isEmpty())
            value.attributes.append({list.attribute, attribute});
        values.append(value);
    }
    return values;
}

void FieldForm::load(pugi::xml_node context) {
    const QSignalBlocker blockSelf(this);
    m_touchedDates.clear();
    // Loading is not the user's touch.
    for (QDateTimeEdit* edit : m_dates)
        edit->blockSignals(true);
    for (Simple& simple : m_simple) {
        const std::optional<FieldPath> path = FieldPath::Parse(simple.path);
        simple.loaded = context && path ? GetFieldValue(context, *path) : QString();
        simple.set(simple.loaded);
    }
    for (Group& group : m_groups) {
        const std::optional<FieldPath> path = FieldPath::Parse(group.path);
        QStringList attributes;
        for (const Part& part : group.parts)
            attributes.append(part.attribute);
        const QList<RepeatedValue> values = context && path
                                                ? GetRepeatedValues(context, *path, attributes)
                                                : QList<RepeatedValue>();
        const RepeatedValue first = values.isEmpty() ? RepeatedValue() : values.first();
        if (group.textSet)
            group.textSet(first.text);
        for (const Part& part : group.parts) {
            QString value;
            for (const auto& [name, v] : first.attributes) {
                if (name == part.attribute)
                    value = v;
            }
            part.set(value);
        }
        group.loaded = groupValues(group);
    }
    for (List& list : m_lists) {
        const std::optional<FieldPath> path = FieldPath::Parse(list.path);
        const QStringList attributes =
            list.attribute.isEmpty() ? QStringList() : QStringList{list.attribute};
        list.loaded = context && path ? GetRepeatedValues(context, *path, attributes)
                                      : QList<RepeatedValue>();
        QList<QPair<QString, QString>> rows;
        for (const RepeatedValue& value : list.loaded)
            rows.append({value.text,
                         value.attributes.isEmpty() ? QString() : value.attributes.first().second});
        list.table->setValues(rows);
        // What the table shows is what counts as unchanged (a blank domain reads as none).
        list.loaded = listValues(list);
    }
    for (QDateTimeEdit* edit : m_dates)
        edit->blockSignals(false);
}

QList<FieldEdit> FieldForm::edits(pugi::xml_node context) const {
    QList<FieldEdit> edits;
    for (const Entry& entry : m_order) {
        if (entry.kind == KindSimple) {
            const Simple& simple = m_simple[entry.index];
            const QString value = simple.get();
            if (value != simple.normalize(simple.loaded))
                edits.append({simple.path, value, {}, {}});
        } else if (entry.kind == KindGroup) {
            const Group& group = m_groups[entry.index];
            const QStringList now = groupValues(group);
            if (now == group.loaded)
                continue;
            QStringList attributes;
            for (const Part& part : group.parts)
                attributes.append(part.attribute);
            const std::optional<FieldPath> path = FieldPath::Parse(group.path);
            QList<RepeatedValue> values = context && path
                                              ? GetRepeatedValues(context, *path, attributes)
                                              : QList<RepeatedValue>();
            RepeatedValue first = values.isEmpty() ? RepeatedValue() : values.first();
            if (group.textGet)
                first.text = now.first();
            first.attributes.clear();
            for (qsizetype i = 0; i < group.parts.size(); ++i)
                first.attributes.append({group.parts[i].attribute, now[i + 1]});
            const bool empty =
                std::all_of(now.begin(), now.end(), [](const QString& v) { return v.isEmpty(); });
            if (empty && !values.isEmpty())
                values.removeFirst();
            else if (!empty && values.isEmpty())
                values.append(first);
            else if (!empty)
                values.first() = first;
            edits.append({group.path, QString(), values, attributes});
        } else {
            const List& list = m_lists[entry.index];
            const QList<RepeatedValue> now = listValues(list);
            if (now != list.loaded) {
                edits.append(
                    {list.path, QString(), now,
                     list.attribute.isEmpty() ? QStringList() : QStringList{list.attribute}});
            }
        }
    }
    return edits;
}

void FieldForm::markApplied() {
    for (Simple& simple : m_simple)
        simple.loaded = simple.get();
    for (Group& group : m_groups)
        group.loaded = groupValues(group);
    for (List& list : m_lists)
        list.loaded = listValues(list);
}

bool FieldForm::isPending() const {
    return !edits(pugi::xml_node()).isEmpty();
}
