// What the HTML of a post holds that readers trip over: elements and
// attributes that run code or pull in other pages, links that only make sense
// next to the page they came from, and markup that does not close.
#pragma once

#include <QString>
#include <string>
#include <string_view>

struct HtmlScan {
    // The first element that can run code or replace the page, e.g. "script".
    std::string riskyElement;
    // The first event handler or script address in an attribute, e.g. "onclick".
    std::string riskyAttribute;
    // A style attribute that runs code.
    bool dangerousStyle = false;
    // The first relative address in a link or source attribute.
    std::string relativeUrl;
    // Why the markup is broken (an end tag nothing opened, a tag left open at
    // the end), or empty.
    std::string broken;
};

HtmlScan ScanHtml(std::string_view html);

// Rewrites every relative address in a link or source attribute as an
// absolute one against base; returns how many were rewritten. Only those
// values change: the rest of the text stays as it was, byte for byte.
int MakeLinksAbsolute(std::string& html, const QString& base);
