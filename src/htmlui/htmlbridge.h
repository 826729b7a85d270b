// The one object the page sees on its web channel: messages as JSON text in
// both directions, no logic of its own.
#pragma once

#include <QObject>
#include <QString>

class HtmlBridge final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Page to program: a batch of state, call answers and events.
    Q_INVOKABLE void post(const QString& json) { emit posted(json); }

signals:
    void posted(const QString& json);
    // Program to page: one call.
    void deliver(const QString& json);
};
