#include "app/newfeed.h"

#include "htmlui/createfeeddialog.h"

bool AskNewFeedInfo(QWidget* parent, NewFeedInfo& info) {
    CreateFeedDialog dialog(parent);
    NewFeedInfo answer;
    if (dialog.run(answer) != 1)
        return false;
    info = answer;
    return true;
}
