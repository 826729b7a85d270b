// Stand-ins for the desktop and the document frame, and a sample feed, shared
// by the posts bar and preview tests.
#pragma once

#include "document/documentlistener.h"
#include "document/rsseditdoc.h"
#include "platform/uiservices.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Records what the program asked of the desktop.
class FakeUiServices final : public UiServices {
public:
    bool AskOkCancel(const QString&) override { return true; }
    void Beep() override { ++beeps; }
    bool PutClipboardText(const QString& text) override {
        clipboard = text;
        return clipboardWorks;
    }
    bool OpenFolder(const QString&, QString*) override { return false; }
    bool OpenUrl(const QString& url) override {
        urls.append(url);
        return true;
    }
    void ShowError(const QString&) override {}
    void ShowMessage(const QString&) override {}

    int beeps = 0;
    QString clipboard;
    bool clipboardWorks = true;
    QStringList urls;
};

// The frame's hub: passes every hint on to the bars, never back to its sender.
class TestHub final : public DocumentListener {
public:
    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) override {
        for (DocumentListener* listener : listeners) {
            if (listener != sender)
                listener->onNotify(sender, hint, param);
        }
    }
    QList<DocumentListener*> listeners;
};

// Stands in for the post editor: remembers every hint it hears.
class RecordingView final : public DocumentView {
public:
    void OnUpdate(DocumentListener*, DocHint hint, const HintParam& param) override {
        hints.append({hint, param.post});
    }
    QList<int> PostsOf(DocHint hint) const {
        QList<int> posts;
        for (const auto& [h, post] : hints) {
            if (h == hint)
                posts.append(post);
        }
        return posts;
    }
    QList<QPair<DocHint, int>> hints;
};

struct SamplePost {
    QString title;
    QString link;
    QString description;
    QString date;
};

// Writes an RSS 2.0 file of the given posts and returns its path.
QString WriteSampleFeed(const QTemporaryDir& dir, const QList<SamplePost>& posts,
                        const QString& name = QStringLiteral("feed.xml"));
// Three posts titled b, B and a, with links, dates and descriptions.
QList<SamplePost> SamplePosts();
