// Shared pieces of the document tests: a desktop that records what it was
// asked, a listener that logs every hint, and small feed files.
#pragma once

#include "document/documentlistener.h"
#include "document/rsseditdoc.h"
#include "platform/uiservices.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

class RecordingUi final : public UiServices {
public:
    bool AskOkCancel(const QString& question) override {
        questions.append(question);
        return answerOk;
    }
    void Beep() override { ++beeps; }
    bool PutClipboardText(const QString& text) override {
        clipboard = text;
        return clipboardWorks;
    }
    bool OpenFolder(const QString& path, QString* errorText) override {
        openedFolders.append(path);
        if (!openWorks && errorText)
            *errorText = QStringLiteral("No file manager");
        return openWorks;
    }
    bool OpenUrl(const QString& url) override {
        openedUrls.append(url);
        return true;
    }
    void ShowError(const QString& text) override { errors.append(text); }
    void ShowMessage(const QString& text) override { messages.append(text); }
    bool AskYesNo(const QString& question) override {
        questions.append(question);
        return answerYes;
    }
    ChangedFileChoice AskChangedFile(const QString& question) override {
        questions.append(question);
        return changedFileChoice;
    }
    void ShowStatusMessage(const QString& text) override { statusMessages.append(text); }

    bool answerOk = true;
    bool answerYes = false;
    ChangedFileChoice changedFileChoice = ChangedFileChoice::Cancel;
    QStringList statusMessages;
    bool clipboardWorks = true;
    bool openWorks = true;
    QStringList questions;
    int beeps = 0;
    QString clipboard;
    QStringList openedFolders;
    QStringList openedUrls;
    QStringList errors;
    QStringList messages;
};

// One line per hint heard: "<who>:<hint>:<param>@<current post at that moment>".
class HintLog final {
public:
    QStringList lines;
};

template <typename Base> class RecordingListenerBase : public Base {
public:
    RecordingListenerBase(const QString& name, HintLog& log, const CRSSEditDoc& doc)
        : m_name(name), m_log(log), m_doc(doc) {}

protected:
    void Record(DocHint hint, const HintParam& param) {
        const QString value = hint == HintSetDescription ? param.text : QString::number(param.post);
        m_log.lines.append(QStringLiteral("%1:%2:%3@%4")
                               .arg(m_name)
                               .arg(int(hint))
                               .arg(value)
                               .arg(m_doc.GetCurrentPost()));
    }

private:
    QString m_name;
    HintLog& m_log;
    const CRSSEditDoc& m_doc;
};

class RecordingView final : public RecordingListenerBase<DocumentView> {
public:
    using RecordingListenerBase::RecordingListenerBase;
    void OnUpdate(DocumentListener*, DocHint hint, const HintParam& param) override {
        Record(hint, param);
    }
};

class RecordingHub final : public RecordingListenerBase<DocumentListener> {
public:
    using RecordingListenerBase::RecordingListenerBase;
    void onNotify(DocumentListener*, DocHint hint, const HintParam& param) override {
        Record(hint, param);
    }
};

// A feed of posts titled as given, each dated the given day of December 2020.
inline QByteArray FeedXml(const QStringList& titles, const QList<int>& days = {}) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                     "<channel><title>Test</title>\n";
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const int day = i < days.size() ? days.at(i) : 1;
        xml += "<item><title>" + titles.at(i).toUtf8() + "</title>" + "<description>Body " +
               QByteArray::number(i) + "</description>" + "<pubDate>" +
               QByteArray::number(day).rightJustified(2, '0') +
               " Dec 2020 10:00:00 GMT</pubDate><link>https://example.org/" +
               QByteArray::number(i) + "</link><author>a</author><guid>g" + QByteArray::number(i) +
               "</guid></item>\n";
    }
    xml += "</channel></rss>\n";
    return xml;
}

inline QStringList NumberedTitles(int count) {
    QStringList titles;
    for (int i = 0; i < count; ++i)
        titles.append(QStringLiteral("Post %1").arg(i));
    return titles;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QStringList Titles(const CRssFeed& feed) {
    QStringList titles;
    for (int i = 0; i < feed.GetPostCount(); ++i)
        titles.append(feed.GetTitle(i));
    return titles;
}
