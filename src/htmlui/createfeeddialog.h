// Asks for the title, link and category of a new feed.
#pragma once

#include "feed/newfeedinfo.h"
#include "htmlui/htmldialog.h"

class CreateFeedDialog final : public HtmlFocusDialog {
    Q_OBJECT
public:
    explicit CreateFeedDialog(QWidget* parent = nullptr);

    // 1 when confirmed (info then holds the three texts), 2 when cancelled,
    // 0 when the page is missing.
    int run(NewFeedInfo& info);

private:
    NamedValues m_map;
};
