// The one object the page sees on its web channel: messages as JSON text in
// both directions, no logic of its own.
#pragma once

#include <QObject>
#include <QString>

class HtmlBridge final : public QObject {
    Q_OBJECT
    // Which load of the surface the page belongs to; the page stamps its
    // messages with it so that a late message of a page left behind is dropped.
    Q_PROPERTY(int generation READ generation NOTIFY generationChanged)
public:
    using QObject::QObject;

    int generation() const { return m_generation; }
    void setGeneration(int generation) {
        m_generation = generation;
        emit generationChanged();
    }

    // Page to program: a batch of state, call answers and events.
    Q_INVOKABLE void post(const QString& json) { emit posted(json); }

signals:
    void generationChanged();
    void posted(const QString& json);
    // Program to page: one call.
    void deliver(const QString& json);

private:
    int m_generation = 0;
};
