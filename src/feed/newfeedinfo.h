// What the Create RSS Feed dialog asks for a brand-new feed.
#pragma once

#include <QString>

struct NewFeedInfo {
    QString title;
    QString link;
    QString category;
};

// The generator text of a new feed: product name, version and home page.
QString GeneratorText();
