// The preview bar of a document window: the current post's HTML code,
// coloured and editable; what the user types goes straight back into the post.
#pragma once

#include "document/documentlistener.h"

#include <QDockWidget>
#include <QElapsedTimer>
#include <QTimer>

class CHtmlCodeEdit;
class CRSSEditDoc;
class UiServices;

class CHtmlPreviewBar final : public QDockWidget, public DocumentListener {
    Q_OBJECT
public:
    // The document and the desktop services are not owned.
    CHtmlPreviewBar(CRSSEditDoc* doc, UiServices* ui, QWidget* parent = nullptr);
    ~CHtmlPreviewBar() override;

    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) override;

    // The edit commands, meant for while the code edit has the focus.
    bool handleCommand(int id);
    bool commandStatus(int id, bool* enabled, bool* checked);
    // True while the keyboard focus is in the code edit.
    bool HasEditFocus() const;

    CHtmlCodeEdit* CodeEdit() const { return m_edit; }

protected:
    // The caption's close button: new windows start without the preview.
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowPost(int post);
    void OnRefreshTimer();
    void OnUserChanged(const QString& text);

    CRSSEditDoc* m_doc;
    CHtmlCodeEdit* m_edit;
    QString m_pending;
    QElapsedTimer m_pendingSince;
    QTimer m_refreshTimer;
};
