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

    // A long post is shown in runs of its blocks, each wrapped in a div the
    // engine lays out and paints only near the screen (frame.css): without
    // them every key in a post of thousands of paragraphs costs the engine a
    // pass over all of them. The runs are the editor's own and never reach
    // the stored HTML. They carry a token of this page, so a post's own
    // element that looks like one is kept as it is.
    const RUN_ATTR = "data-orvan-run";
    const runToken = Math.random().toString(36).slice(2, 10) || "run";
    const RUN_SELECTOR = "div[" + RUN_ATTR + "=\"" + runToken + "\"]";
    // Blocks start at this many top-level elements, in runs of RUN_SIZE.
    const RUNS_FROM = 256;
    const RUN_SIZE = 64;
    // What shows in a post without any text.
    const SHOWN_WITHOUT_TEXT = "img, hr, table, iframe, video, audio, object, embed";
    // Elements that never sit on a line with text beside them, so a run's
    // edge beside them changes nothing of how the post reads.
    const OWN_LINE = new Set(["p", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "div", "blockquote",
                              "ul", "ol", "dl", "table", "hr", "address", "figure", "section",
                              "article", "aside", "header", "footer", "nav", "details", "fieldset",
                              "form", "center", "menu", "style", "meta", "link", "template"]);

    function isRun(n) {
        return !!n && n.nodeType === 1 && n.localName === "div" && n.getAttribute(RUN_ATTR) === runToken;
    }

    function staysApart(n) {
        if (n.nodeType === 1) return OWN_LINE.has(n.localName);
        if (n.nodeType === 8) return true;
        return n.nodeType === 3 && n.data.trim() === "";
    }

    // Wraps the top-level blocks of a long post's fragment in runs. Loose
    // text and inline elements stay where they are, between runs.
    function makeRuns(root) {
        if (root.childElementCount < RUNS_FROM) return;
        let run = null;
        let count = 0;
        for (let n = root.firstChild; n;) {
            const next = n.nextSibling;
            if (!staysApart(n)) {
                run = null;
            } else {
                if (!run || count >= RUN_SIZE) {
                    run = doc.createElement("div");
                    run.setAttribute(RUN_ATTR, runToken);
                    root.insertBefore(run, n);
                    count = 0;
                }
                run.appendChild(n);
                if (n.nodeType === 1) count++;
            }
            n = next;
        }
    }

    // A run's content in its place.
    function takeApart(run) {
        const parent = run.parentNode;
        while (run.firstChild) parent.insertBefore(run.firstChild, run);
        parent.removeChild(run);
    }

    function runOf(node) {
        for (let n = node; n && n !== body; n = n.parentNode) if (isRun(n)) return n;
        return null;
    }

    // Whether nothing shows between the edge of a run and a point in it.
    function atRunEdge(run, container, offset, start) {
        const r = doc.createRange();
        if (start) { r.setStart(run, 0); r.setEnd(container, offset); }
        else { r.setStart(container, offset); r.setEnd(run, run.childNodes.length); }
        if (r.toString() !== "") return false;
        const between = r.cloneContents();
        return !between.querySelector || !between.querySelector(SHOWN_WITHOUT_TEXT + ", br");
    }

    // Takes runs apart, their content staying where it shows; the selection
    // keeps its place.
    function dissolve(runs) {
        const s = doc.getSelection();
        const r = s && s.rangeCount ? s.getRangeAt(0) : null;
        let points = r ? [[r.startContainer, r.startOffset], [r.endContainer, r.endOffset]] : null;
        for (const run of runs) {
            const parent = run.parentNode;
            if (!parent) continue;
            const at = Array.prototype.indexOf.call(parent.childNodes, run);
            const size = run.childNodes.length;
            if (points) {
                points = points.map(([c, o]) => (c === run ? [parent, at + o]
                    : c === parent && o > at ? [parent, o + size - 1] : [c, o]));
            }
            takeApart(run);
        }
        if (points) {
            const moved = doc.createRange();
            moved.setStart(points[0][0], points[0][1]);
            moved.setEnd(points[1][0], points[1][1]);
            s.removeAllRanges();
            s.addRange(moved);
        }
    }

    // Before an edit that joins or spans blocks of two runs, the runs around
    // it are taken apart, so the engine joins the blocks exactly as it would
    // in a post without runs (across runs it wraps what it moves in styled
    // spans). backward/forward: a deletion from a caret.
    function openRunsFor(backward, forward) {
        const s = doc.getSelection();
        if (!s || !s.rangeCount) return;
        const r = s.getRangeAt(0);
        const first = runOf(r.startContainer);
        const last = runOf(r.endContainer);
        const runs = new Set();
        if (!r.collapsed) {
            if (first === last) return;
            const top = (node) => {
                let n = node;
                while (n && n.parentNode && n.parentNode !== body) n = n.parentNode;
                return n;
            };
            const end = top(r.endContainer);
            for (let n = top(r.startContainer); n; n = n.nextSibling) {
                if (isRun(n)) runs.add(n);
                if (n === end) break;
            }
        } else if (first && backward && atRunEdge(first, r.startContainer, r.startOffset, true)) {
            runs.add(first);
            if (isRun(first.previousSibling)) runs.add(first.previousSibling);
        } else if (first && forward && atRunEdge(first, r.startContainer, r.startOffset, false)) {
            runs.add(first);
            if (isRun(first.nextSibling)) runs.add(first.nextSibling);
        }
        if (runs.size) dissolve(runs);
    }

    // Puts the caret at the very start or end of a post in runs: the engine
    // finds no place in a run it has not laid out, and would put it between
    // blocks, where typed text goes in backwards.
    function caretToEdge(end, extend) {
        if (!body.querySelector(RUN_SELECTOR)) return false;
        // Blanks between blocks are no place to type in.
        const walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT, {
            acceptNode: (n) => (/\S/.test(n.data) || n.parentElement.closest("pre")
                ? NodeFilter.FILTER_ACCEPT : NodeFilter.FILTER_REJECT),
        });
        let text = null;
        if (end) { for (let n = walker.lastChild(); n; n = walker.lastChild()) text = n; }
        else text = walker.nextNode();
        const s = doc.getSelection();
        const node = text || body;
        const offset = text ? (end ? text.length : 0) : (end ? body.childNodes.length : 0);
        if (extend && s.rangeCount) s.extend(node, offset); else s.collapse(node, offset);
        const el = node.nodeType === 1 ? node : node.parentElement;
        if (el) el.scrollIntoView({ block: end ? "end" : "start" });
        return true;
    }

    function htmlOf(node) {
        if (node.nodeType === 1) return node.outerHTML;
        const holder = doc.createElement("div");
        holder.appendChild(node.cloneNode(false));
        return holder.innerHTML;
    }

    // The HTML of root as stored: its runs give their content in their place.
    // Editing can leave a run inside another element (a split or a list made
    // across runs); those are taken out of a copy.
    function plainHtml(root) {
        const runs = root.querySelectorAll(RUN_SELECTOR);
        if (!runs.length) return root.innerHTML;
        if (Array.prototype.every.call(runs, (r) => r.parentNode === root)) {
            const parts = [];
            for (const n of root.childNodes) parts.push(isRun(n) ? n.innerHTML : htmlOf(n));
            return parts.join("");
        }
        const copy = root.cloneNode(true);
        for (const r of copy.querySelectorAll(RUN_SELECTOR)) takeApart(r);
        return copy.innerHTML;
    }

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
    // What is copied, cut or dragged out of a long post carries no runs (the
    // keys do this on keydown; the menu's commands and a drag come here).
    for (const type of ["copy", "cut", "dragstart"])
        doc.addEventListener(type, () => openRunsFor(false, false), true);

    // Keys typed in the post never reach the face's document.
    orvan.countKeys(doc);

    return {
        doc,
        body,
        switchOff,
        SHOWN_WITHOUT_TEXT,
        isRun,
        makeRuns,
        plainHtml,
        openRunsFor,
        caretToEdge,
        // For printing the frame takes the height of the whole post, so
        // nothing is cut at the frame's edge; every run is laid out for it.
        fitToContent(on) {
            body.classList.toggle("whole", on);
            frame.style.height = on ? doc.documentElement.scrollHeight + "px" : "";
        },
    };
};
