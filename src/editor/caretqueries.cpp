// What stands at the body's caret and what is selected, read from the state
// the rich-text behaviour publishes with every change.
#include "editor/rsseditview.h"

#include "html/htmltransforms.h"
#include "htmlui/htmlsurface.h"

using namespace Qt::StringLiterals;

bool CRSSEditView::GetCurrentObjects(QStringList& list) const {
    const HtmlValue objects = richState(u"objects"_s);
    if (!objects.isArray())
        return false;
    for (const HtmlValue& tag : objects.toArray())
        list.append(valueToText(tag));
    return true;
}

bool CRSSEditView::GetCurrentObjectAttributes(int index, QMap<QString, QString>& attributes) const {
    const HtmlValue objects = richState(u"objects"_s);
    if (!objects.isArray() || index < 0 || index >= objects.count())
        return false;
    const HtmlValue all = richState(u"attributes"_s);
    const HtmlValue one = all.isArray() ? all.at(index) : HtmlValue();
    if (one.isMap()) {
        const HtmlValue::Map& map = one.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            attributes.insert(it.key(), valueToText(it.value()));
    }
    return true;
}

bool CRSSEditView::SetCurrentObjectAttributes(int index, const QMap<QString, QString>& attributes) {
    const HtmlValue objects = richState(u"objects"_s);
    if (!objects.isArray() || index < 0 || index >= objects.count())
        return false;
    HtmlValue::Map map;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        map.insert(it.key(), HtmlValue(it.value()));
    surface()->callMethod(u"#richtext_edit"_s, u"setCurrentObjectAttributes"_s,
                          {HtmlValue(index), HtmlValue(map)});
    return true;
}

int CRSSEditView::FindCurrentObject(const QString& tag) const {
    QStringList list;
    if (!GetCurrentObjects(list))
        return -1;
    return static_cast<int>(list.indexOf(tag));
}

QString CRSSEditView::CurrentObjectTag() const {
    QStringList list;
    if (!GetCurrentObjects(list) || list.isEmpty())
        return QString();
    return list.last();
}

bool CRSSEditView::GetSelectionRange(int& start, int& end) const {
    HtmlValue range = richState(u"selection"_s);
    // A caret's offset is not published with every key (counting it walks
    // the post); it is asked for.
    if (!range.isArray() && richState(u"caret"_s).toBool())
        range = m_surface->callMethodAndWait(u"#richtext_edit"_s, u"3"_s, {}, 10000);
    if (!range.isArray() || range.count() != 2 || !range.at(0).isInt() || !range.at(1).isInt())
        return false;
    start = static_cast<int>(range.at(0).toInt());
    end = static_cast<int>(range.at(1).toInt());
    return true;
}

// The selection's text and HTML are asked for: they go into the post, so
// they must be what is selected now, not what was when the page last spoke.
QString CRSSEditView::GetSelectionText() const {
    return m_surface->callMethodAndWait(u"#richtext_edit"_s, u"9"_s, {}, 10000).toText();
}

QString CRSSEditView::GetSelectionFragment() const {
    const QString html =
        m_surface->callMethodAndWait(u"#richtext_edit"_s, u"10"_s, {}, 10000).toText();
    if (html.isEmpty())
        return QString();
    return TextBetween(html, u"<!--StartFragment-->"_s, u"<!--EndFragment-->"_s);
}

QString CRSSEditView::GetLinkRunText() const {
    return ExtractLinkRun(TextBetween(SaveBodyHtml(), u"<body>"_s, u"</body>"_s));
}

void CRSSEditView::InsertHtml(const QString& html) {
    surface()->callMethod(u"#richtext_edit"_s, u"insertHtml"_s, {HtmlValue(html)});
}

bool CRSSEditView::CanEditLink() const {
    if (FindCurrentObject(u"a"_s) >= 0 || FindCurrentObject(u"img"_s) >= 0)
        return true;
    // Offsets are published only for a selection that spans something.
    const HtmlValue range = richState(u"selection"_s);
    return range.isArray() && range.count() == 2 && range.at(0) != range.at(1);
}
