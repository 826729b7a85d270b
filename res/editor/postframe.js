// The document a post is edited in: an iframe of the face, sandboxed to the
// same origin without scripts, so nothing in a post (ids, styles, <base>,
// forms, scripts, fixed boxes) can reach the face. The face's scripts drive
// it from outside: this sets up its document and keeps the post's own style
// sheets switched off there, so no post can hide or disable the writing
// area. The style sheets stay in the post's HTML.
"use strict";

window.orvanPostFrame = function (frame) {
    const orvan = window.orvan;
    const doc = frame.contentDocument;
    const body = doc.body;

    // The face's look of a post, from our resources (the frame shares the
    // face's policy, which allows style sheets only from there).
    const sheet = doc.createElement("link");
    sheet.rel = "stylesheet";
    sheet.href = new URL("frame.css", document.baseURI).href;
    doc.head.appendChild(sheet);
    body.classList.add("richtext");
    body.setAttribute("contenteditable", "true");
    body.setAttribute("spellcheck", "true");
    body.setAttribute("novalue", frame.parentElement.getAttribute("novalue") || "");

    function switchOff(root) {
        if (root.nodeType !== 1) return;
        const found = root.localName === "style" ? [root] : root.querySelectorAll("style");
        for (const s of found) if (s.sheet) s.sheet.disabled = true;
    }

    // Style sheets come with a loaded post, a paste, an insertion or an undo.
    new MutationObserver((records) => {
        for (const r of records) for (const n of r.addedNodes) switchOff(n);
    }).observe(body, { childList: true, subtree: true });

    // Links in a post never navigate; Ctrl+click opens them in the browser.
    doc.addEventListener("click", (ev) => {
        const t = ev.target && ev.target.nodeType === 1 ? ev.target : ev.target && ev.target.parentElement;
        const link = t && t.closest("a[href]");
        if (!link) return;
        ev.preventDefault();
        if (ev.ctrlKey || ev.metaKey)
            orvan.raise(orvan.EVENT.HYPERLINK_CLICK, link, link.getAttribute("href"));
    }, true);
    doc.addEventListener("submit", (ev) => ev.preventDefault(), true);
    // Keys typed in the post never reach the face's document.
    orvan.countKeys(doc);

    return {
        doc,
        body,
        switchOff,
        // For printing the frame takes the height of the whole post, so
        // nothing is cut at the frame's edge.
        fitToContent(on) {
            frame.style.height = on ? doc.documentElement.scrollHeight + "px" : "";
        },
    };
};
