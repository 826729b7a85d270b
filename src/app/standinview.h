// A read-only view of the current post, used where the post editor is not
// available.
#pragma once

#include "document/documentlistener.h"

#include <QTextBrowser>

class CStandInView final : public QTextBrowser, public DocumentView {
    Q_OBJECT
public:
    explicit CStandInView(CRSSEditDoc* doc, QWidget* parent = nullptr);

    void OnUpdate(DocumentListener* sender, DocHint hint, const HintParam& param) override;
    bool handleCommand(int id);
    bool commandStatus(int id, bool* enabled, bool* checked) const;

private:
    void showPost(int post);
    CRSSEditDoc* m_doc;
};
