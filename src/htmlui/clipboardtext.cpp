#include "htmlui/clipboardtext.h"

#include <QClipboard>
#include <QGuiApplication>

QString GetClipboardText() {
    // Qt hands out Unicode text whatever encoding the owner offered it in.
    QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}
