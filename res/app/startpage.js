// Start page: the program's own "#..." links reach the program as hyperlink
// clicks (the binding lets only web links through), and a web link shows its
// address as tooltip and in the status bar while the mouse is over it.
"use strict";

(function () {
    function closestLink(node) {
        for (let n = node; n && n.nodeType === 1; n = n.parentElement) {
            if (n.localName === "a" && n.hasAttribute("href")) return n;
        }
        return null;
    }

    document.addEventListener("click", (ev) => {
        const link = closestLink(ev.target);
        if (!link) return;
        ev.preventDefault();
        const href = link.getAttribute("href");
        if (href.startsWith("#")) {
            link.classList.add("visited");
            window.orvan.raise(window.orvan.EVENT.HYPERLINK_CLICK, link, href, "startpage");
        }
    }, true);

    let hovered = null;
    document.addEventListener("mouseover", (ev) => {
        const link = closestLink(ev.target);
        if (link === hovered) return;
        hovered = link;
        let status = "";
        if (link) {
            const href = link.getAttribute("href");
            if (href.length >= 8 && href.slice(0, 7).toLowerCase() === "http://" ||
                href.slice(0, 8).toLowerCase() === "https://") {
                if (!link.hasAttribute("title")) link.setAttribute("title", href);
                status = href;
            }
        }
        window.orvan.raise(window.orvan.EVENT.UI_STATE_CHANGED, link, status, "startpage");
    }, true);
})();
