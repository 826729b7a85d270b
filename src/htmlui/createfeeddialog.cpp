#include "htmlui/createfeeddialog.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {
const QString kPage = u"qrc:/htmlui/newfeed.html"_s;
}

CreateFeedDialog::CreateFeedDialog(QWidget* parent)
    : HtmlFocusDialog(parent, Qt::WindowMaximizeButtonHint, u"elem_title"_s) {
    setResizable(true);
}

int CreateFeedDialog::run(NewFeedInfo& info) {
    m_map.clear();
    m_map.insert(u"elem_title"_s, HtmlValue(info.title));
    m_map.insert(u"elem_link"_s, HtmlValue(info.link));
    m_map.insert(u"elem_cat"_s, HtmlValue(info.category));
    setValues(&m_map);
    if (!QFile::exists(u":/htmlui/newfeed.html"_s))
        return 0;
    const int result = showModal(QUrl(kPage));
    if (result == ResultOk) {
        info.title = valueToText(m_map.value(u"elem_title"_s));
        info.link = valueToText(m_map.value(u"elem_link"_s));
        info.category = valueToText(m_map.value(u"elem_cat"_s));
    }
    return result;
}
