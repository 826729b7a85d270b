// The named controls of a page and their values, ordered by name (UTF-16
// code units), as a dialog is filled from and read back into.
#pragma once

#include "htmlui/htmlvalue.h"

#include <QMap>
#include <QString>

using NamedValues = QMap<QString, HtmlValue>;
