// Several values with an optional second column (categories and their
// domain): a small table that always ends in an empty row to type into, so
// adding one is typing and removing one is emptying its cell.
#pragma once

#include <QList>
#include <QPair>
#include <QTableWidget>

class CategoryTable final : public QTableWidget {
    Q_OBJECT
public:
    // secondHeader empty: one column only.
    CategoryTable(const QString& firstHeader, const QString& secondHeader,
                  QWidget* parent = nullptr);

    // The rows with a value, in order (blanks at the ends dropped).
    QList<QPair<QString, QString>> values() const;
    void setValues(const QList<QPair<QString, QString>>& values);

signals:
    // The user changed, added or removed a value.
    void valuesEdited();

private:
    void keepOneEmptyRow();
    bool m_filling = false;
};
