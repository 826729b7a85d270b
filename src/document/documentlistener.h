// Small interfaces through which a feed document reaches the windows that show
// it. Widgets implement them; the document knows nothing of widgets.
#pragma once

#include "document/hints.h"

class CRSSEditDoc;

// Anything that takes part in a document's notifications: the frame's hub and
// the bars it forwards to, and the views. A listener is also the identity of a
// sender, so nobody is told about its own hint.
class DocumentListener {
public:
    virtual ~DocumentListener() = default;
    virtual void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) = 0;
};

// A view of the document (the post editor). Views hear every hint before the
// frame's hub does.
class DocumentView : public DocumentListener {
public:
    virtual void OnUpdate(DocumentListener* sender, DocHint hint, const HintParam& param) = 0;

    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) final {
        OnUpdate(sender, hint, param);
    }
};

// Told whenever what a window title shows of the document may have changed:
// the modified flag, the path or the title.
class DocumentTitleListener {
public:
    virtual ~DocumentTitleListener() = default;
    virtual void OnDocumentTitleChanged(const CRSSEditDoc& doc) = 0;
};
