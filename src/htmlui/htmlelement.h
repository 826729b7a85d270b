// A reference to an element of an HtmlSurface's page. Reads come from the
// page's snapshot (elements found by id); writes are calls into the page that
// reach the first element matching the selector. A null element reads empty
// and ignores every call.
#pragma once

#include "htmlui/htmlvalue.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class HtmlSurface;

class HtmlElement final {
public:
    HtmlElement() = default;

    bool isNull() const;
    QString selector() const { return m_selector; }
    QString id() const { return m_id; }

    // --- snapshot reads (elements with an id) ---
    QString tag() const;
    int controlType() const;
    // A missing attribute gives a null string.
    QString attribute(const QString& name) const;
    HtmlValue::Map attributes() const;
    // Inner HTML and text; empty for elements marked data-snapshot="none".
    QString html() const;
    QString text() const;
    HtmlValue controlValue() const;
    bool isChecked() const;
    bool hasFocus() const;
    // Values of the element's options (select, datalist or popup), in order.
    QStringList optionValues() const;

    // --- calls into the page (asynchronous) ---
    void setAttribute(const QString& name, const QString& value) const;
    void removeAttribute(const QString& name) const;
    void setHtml(const QString& html) const;
    void setText(const QString& text) const;
    void setStyle(const QString& property, const QString& value) const;
    void setControlValue(const HtmlValue& value) const;
    void setChecked(bool checked) const;
    void setFocus() const;
    void click() const;
    // Inserts a new child (tag, text) at position (-1: last) of the element,
    // or of its option list for a drop-down.
    void insertElement(const QString& tag, const QString& text, int position = -1) const;
    void callMethod(const QString& method, const HtmlValue::Array& args = {},
                    std::function<void(const HtmlValue&)> done = {}) const;

private:
    friend class HtmlSurface;
    HtmlElement(HtmlSurface* surface, const QString& selector, const QString& id);
    HtmlValue field(const QString& name) const;
    void call(const QString& op, const HtmlValue::Array& args) const;

    QPointer<HtmlSurface> m_surface;
    QString m_selector;
    QString m_id;
};
