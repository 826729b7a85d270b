#include "propsui/categorytable.h"

#include <QHeaderView>

CategoryTable::CategoryTable(const QString& firstHeader, const QString& secondHeader,
                             QWidget* parent)
    : QTableWidget(0, secondHeader.isEmpty() ? 1 : 2, parent) {
    QStringList headers = {firstHeader};
    if (!secondHeader.isEmpty())
        headers.append(secondHeader);
    setHorizontalHeaderLabels(headers);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setTabKeyNavigation(false);
    setMinimumHeight(72);
    connect(this, &QTableWidget::itemChanged, this, [this] {
        if (m_filling)
            return;
        keepOneEmptyRow();
        emit valuesEdited();
    });
    keepOneEmptyRow();
}

QList<QPair<QString, QString>> CategoryTable::values() const {
    QList<QPair<QString, QString>> rows;
    for (int row = 0; row < rowCount(); ++row) {
        const QTableWidgetItem* first = item(row, 0);
        const QTableWidgetItem* second = columnCount() > 1 ? item(row, 1) : nullptr;
        const QString text = first ? first->text().trimmed() : QString();
        if (text.isEmpty())
            continue;
        rows.append({text, second ? second->text().trimmed() : QString()});
    }
    return rows;
}

void CategoryTable::setValues(const QList<QPair<QString, QString>>& values) {
    m_filling = true;
    setRowCount(0);
    for (const auto& [text, second] : values) {
        const int row = rowCount();
        insertRow(row);
        setItem(row, 0, new QTableWidgetItem(text));
        if (columnCount() > 1)
            setItem(row, 1, new QTableWidgetItem(second));
    }
    m_filling = false;
    keepOneEmptyRow();
}

void CategoryTable::keepOneEmptyRow() {
    const bool wasFilling = m_filling;
    m_filling = true;
    const auto isEmpty = [this](int row) {
        for (int column = 0; column < columnCount(); ++column) {
            const QTableWidgetItem* cell = item(row, column);
            if (cell && !cell->text().trimmed().isEmpty())
                return false;
        }
        return true;
    };
    // Emptied rows go, except the last, which stays to type into.
    for (int row = rowCount() - 2; row >= 0; --row) {
        if (isEmpty(row) && currentRow() != row)
            removeRow(row);
    }
    if (rowCount() == 0 || !isEmpty(rowCount() - 1))
        insertRow(rowCount());
    m_filling = wasFilling;
}
