#include "htmlui/htmlelement.h"

#include "htmlui/htmlsurface.h"

using namespace Qt::StringLiterals;

HtmlElement::HtmlElement(HtmlSurface* surface, const QString& selector, const QString& id)
    : m_surface(surface), m_selector(selector), m_id(id) {}

bool HtmlElement::isNull() const {
    if (!m_surface || m_selector.isEmpty())
        return true;
    return !m_id.isEmpty() && !m_surface->elementField(m_id, {}).toBool();
}

HtmlValue HtmlElement::field(const QString& name) const {
    if (!m_surface || m_id.isEmpty())
        return {};
    return m_surface->elementField(m_id, name);
}

QString HtmlElement::tag() const {
    return field(u"tag"_s).toText();
}

int HtmlElement::controlType() const {
    return int(field(u"type"_s).toInt());
}

QString HtmlElement::attribute(const QString& name) const {
    const HtmlValue v = field(u"attrs"_s).value(name);
    return v.isString() ? v.toText() : QString();
}

HtmlValue::Map HtmlElement::attributes() const {
    return field(u"attrs"_s).toMap();
}

QString HtmlElement::html() const {
    return field(u"html"_s).toText();
}

QString HtmlElement::text() const {
    return field(u"text"_s).toText();
}

HtmlValue HtmlElement::controlValue() const {
    return field(u"value"_s);
}

bool HtmlElement::isChecked() const {
    return field(u"checked"_s).toBool();
}

bool HtmlElement::hasFocus() const {
    return field(u"focused"_s).toBool();
}

QStringList HtmlElement::optionValues() const {
    QStringList out;
    // toArray() refers into the value, so keep the value alive for the loop.
    const HtmlValue options = field(u"options"_s);
    for (const HtmlValue& v : options.toArray())
        out.append(v.toText());
    return out;
}

void HtmlElement::call(const QString& op, const HtmlValue::Array& args) const {
    if (!isNull())
        m_surface->sendCall(op, m_selector, args);
}

void HtmlElement::setAttribute(const QString& name, const QString& value) const {
    call(u"setAttribute"_s, {HtmlValue(name), HtmlValue(value)});
}

void HtmlElement::removeAttribute(const QString& name) const {
    call(u"removeAttribute"_s, {HtmlValue(name)});
}

void HtmlElement::setHtml(const QString& html) const {
    call(u"setHtml"_s, {HtmlValue(html)});
}

void HtmlElement::setText(const QString& text) const {
    call(u"setText"_s, {HtmlValue(text)});
}

void HtmlElement::setStyle(const QString& property, const QString& value) const {
    call(u"setStyle"_s, {HtmlValue(property), HtmlValue(value)});
}

void HtmlElement::setControlValue(const HtmlValue& value) const {
    call(u"setControlValue"_s, {value});
}

void HtmlElement::setChecked(bool checked) const {
    call(u"setChecked"_s, {HtmlValue(checked)});
}

void HtmlElement::setFocus() const {
    call(u"focus"_s, {});
}

void HtmlElement::click() const {
    call(u"click"_s, {});
}

void HtmlElement::insertElement(const QString& tag, const QString& text, int position) const {
    call(u"insertElement"_s, {HtmlValue(tag), HtmlValue(text), HtmlValue(position)});
}

void HtmlElement::callMethod(const QString& method, const HtmlValue::Array& args,
                             std::function<void(const HtmlValue&)> done) const {
    if (isNull()) {
        if (done)
            done(HtmlValue());
        return;
    }
    m_surface->callMethod(m_selector, method, args, std::move(done));
}
