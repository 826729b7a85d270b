#include "app/helpwindow.h"

#include "app/commandtable.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString PlainMenuText(QString text) {
    // "&&" is a literal ampersand; a single one marks the mnemonic.
    text.replace(u"&&"_s, u"\x01"_s);
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

} // namespace

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setObjectName(u"helpWindow"_s);
    setWindowTitle(u"Orvan Help"_s);
    m_browser->setOpenExternalLinks(true);
    m_browser->setHtml(PageHtml());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(640, 560);
}

QString CHelpWindow::PageHtml() {
    QString html = uR"(<h2>Orvan</h2>
<p>Orvan edits RSS feed files. Open a feed with <b>File &gt; Open</b> or start one with
<b>File &gt; New</b>. The list on the left holds the feed's posts; choose one to edit its
title, text, link and author on the right. The pane at the bottom shows the post's HTML
code, which you can edit as well: the line breaks it shows around paragraphs are there for
reading only and are not written into the post.</p>
<p>Every save keeps a copy of the file it replaces (<b>Tools &gt; Open Backup Folder</b>).
A file that is not an RSS feed, such as an Atom feed, is shown but cannot be edited.</p>
<h3>Keys</h3>
<table cellspacing="0" cellpadding="3">)"_s;
    for (const CommandInfo& info : AllCommandInfos()) {
        if (info.keys.isEmpty())
            continue;
        QStringList keys;
        for (const QKeySequence& key : info.keys) {
            // F13 and up are the extra keys of a few keyboards; they only crowd the list.
            const Qt::Key code = key[0].key();
            if (code >= Qt::Key_F13 && code <= Qt::Key_F35)
                continue;
            keys.append(key.toString(QKeySequence::NativeText).toHtmlEscaped());
        }
        html += u"<tr><td>%1</td><td><b>%2</b></td></tr>"_s.arg(
            PlainMenuText(info.text).remove(u'…').toHtmlEscaped(), keys.join(u", "_s));
    }
    html += u"</table>"_s;
    return html;
}
