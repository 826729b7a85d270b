// The footer paragraph every stored description ends with: a link to the
// product's home page naming the version that wrote the post.
#pragma once

#include <QString>

// A freshly built footer paragraph.
QString MakePostFooter();
// Position of part in text at or after start, exact first, then without
// regard to case; -1 when absent.
qsizetype FindNoCase(const QString& text, const QString& part, qsizetype start);
// Takes out the first footer paragraph (and a "<BR>" standing directly before
// it); false when there is none.
bool RemoveFooterParagraph(QString& text);
// Old footers out, then "<BR>" and a fresh footer; an empty text stays empty.
QString ApplyPostFooter(const QString& text);
// Makes ApplyPostFooter the process-wide description filter.
void InstallPostFooterFilter();
