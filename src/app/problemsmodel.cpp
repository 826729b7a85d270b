#include "app/problemsmodel.h"

#include "app/problemsdock.h"
#include "feed/rssfeed.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

QIcon SeverityIcon(Severity severity) {
    QStyle* style = QApplication::style();
    switch (severity) {
    case Severity::Error: {
        static const QIcon icon =
            QIcon::fromTheme(u"dialog-error"_s, style->standardIcon(QStyle::SP_MessageBoxCritical));
        return icon;
    }
    case Severity::Warning: {
        static const QIcon icon = QIcon::fromTheme(
            u"dialog-warning"_s, style->standardIcon(QStyle::SP_MessageBoxWarning));
        return icon;
    }
    case Severity::Info:
        break;
    }
    static const QIcon icon = QIcon::fromTheme(
        u"dialog-information"_s, style->standardIcon(QStyle::SP_MessageBoxInformation));
    return icon;
}

QString SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return u"Error"_s;
    case Severity::Warning:
        return u"Warning"_s;
    case Severity::Info:
        break;
    }
    return u"Note"_s;
}

} // namespace

QVariant ProblemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= m_findings.size())
        return QVariant();
    const Finding& finding = m_findings[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return finding.message;
        case 1:
            // The findings may be a moment older than the posts list.
            if (finding.post < 0)
                return u"(channel)"_s;
            return finding.post < m_feed.GetPostCount() ? m_feed.GetTitleLine(finding.post)
                                                        : QString();
        case 2:
            return finding.line;
        default:
            return CProblemsDock::FixText(finding.fix);
        }
    case Qt::DecorationRole:
        return index.column() == 0 ? SeverityIcon(finding.severity()) : QVariant();
    case Qt::ToolTipRole:
        return u"%1 %2 (line %3, column %4): %5"_s
            .arg(SeverityName(finding.severity()), QString::fromLatin1(finding.id()))
            .arg(finding.line)
            .arg(finding.column)
            .arg(finding.message);
    default:
        return QVariant();
    }
}
