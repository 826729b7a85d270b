// What the editor tests share: running script in the face, finding where
// things are on screen, and clicking and typing into the page.
#pragma once

#include "editor/rsseditview.h"
#include "htmlui/htmlsurface.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QRect>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace editortest {

using namespace Qt::StringLiterals;

inline QVariant runJs(QWebEnginePage* page, const QString& code) {
    QVariant result;
    bool done = false;
    page->runJavaScript(code, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    QDeadlineTimer deadline(20000);
    while (!done && !deadline.hasExpired())
        QTest::qWait(5);
    return result;
}

inline QVariant runJs(CRSSEditView* view, const QString& code) {
    return runJs(view->surface()->page(), code);
}

// Script run with doc and body standing for the post's document and body.
inline QVariant inFrame(CRSSEditView* view, const QString& code) {
    return runJs(view, u"(function () { const frame = document.getElementById('richtext_frame');"
                       u"const doc = frame.contentDocument; const body = doc.body; "_s +
                           code + u" })()"_s);
}

inline QString bodyHtml(CRSSEditView* view) {
    return inFrame(view, u"return body.innerHTML;"_s).toString();
}

// Where an element of the face (or, with inPost, of the post) shows, in the
// widget that takes the page's keys and clicks.
inline QRect rectOf(CRSSEditView* view, const QString& selector, bool inPost = false) {
    const QString find = inPost ? u"const f = document.getElementById('richtext_frame');"
                                  u"const o = f.getBoundingClientRect();"
                                  u"const r = f.contentDocument.querySelector('%1')"
                                  u".getBoundingClientRect();"
                                  u"return [o.left + r.left, o.top + r.top, r.width, r.height];"_s
                                : u"const r = document.querySelector('%1').getBoundingClientRect();"
                                  u"return [r.left, r.top, r.width, r.height];"_s;
    const QVariantList r =
        runJs(view, u"(function () {"_s + find.arg(selector) + u"})()"_s).toList();
    if (r.size() != 4)
        return {};
    return QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
}

inline QWidget* keyWidget(CRSSEditView* view) {
    return view->surface()->view()->focusProxy();
}

// A real click on a face element (or one of the post's), at its left edge.
inline void clickOn(CRSSEditView* view, const QString& selector, bool inPost = false) {
    const QRect r = rectOf(view, selector, inPost);
    QWidget* target = keyWidget(view);
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(r.left() + 3, r.center().y()));
}

// Keys as a user types them: each press goes to the page at once, none waits
// for the page to handle the one before (QTest::keyClicks does not spin the
// event loop between keys).
inline void typeKeys(CRSSEditView* view, const QString& text) {
    QTest::keyClicks(keyWidget(view), text);
}

inline void pressKey(CRSSEditView* view, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(keyWidget(view), key, modifiers);
}

} // namespace editortest
