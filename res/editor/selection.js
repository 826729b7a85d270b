// The post's selection and the small DOM helpers of the rich-text
// behaviour: where the caret stands in the post (kept while the focus is
// elsewhere, as a text editor does), what it stands in, and selections kept
// as paths so an undo can put them back.
"use strict";

window.orvanSelection = function (ctx) {
    const { doc, body, frame, isRun } = ctx;
    // The body keeps its caret while the focus is elsewhere.
    let lastRange = null;

    // --- small DOM helpers ---------------------------------------------------

    function inside(node, root) {
        return !!node && !!root && (node === root || root.contains(node));
    }

    function elementOf(node) {
        return node && node.nodeType === 1 ? node : node ? node.parentElement : null;
    }

    function closestIn(node, tags) {
        // A run of a long post's blocks stands for the body: nothing above it counts.
        for (let n = elementOf(node); n && n !== body && !isRun(n); n = n.parentElement)
            if (tags.includes(n.localName)) return n;
        return null;
    }

    function unwrap(el) {
        const parent = el.parentNode;
        while (el.firstChild) parent.insertBefore(el.firstChild, el);
        parent.removeChild(el);
    }

    function rename(el, tag) {
        const n = doc.createElement(tag);
        while (el.firstChild) n.appendChild(el.firstChild);
        el.parentNode.replaceChild(n, el);
        return n;
    }

    function pathOf(node, root) {
        const path = [];
        for (let n = node; n && n !== root; n = n.parentNode)
            path.unshift(Array.prototype.indexOf.call(n.parentNode.childNodes, n));
        return path;
    }

    function nodeAt(root, path) {
        let n = root;
        for (const i of path) {
            if (!n || !n.childNodes || i < 0 || i >= n.childNodes.length) return null;
            n = n.childNodes[i];
        }
        return n;
    }

    function documentOf(root) {
        return root === body ? doc : document;
    }

    // --- selection ------------------------------------------------------------

    function liveRange(root) {
        const sel = documentOf(root).getSelection();
        if (!sel || sel.rangeCount === 0) return null;
        const r = sel.getRangeAt(0);
        return inside(r.startContainer, root) && inside(r.endContainer, root) ? r : null;
    }

    // The body's selection: the live one while it is in the body, else the last one.
    function bodyRange() {
        const r = liveRange(body);
        if (r) return r;
        if (lastRange && inside(lastRange.startContainer, body)
            && inside(lastRange.endContainer, body))
            return lastRange;
        return null;
    }

    function select(range) {
        const sel = doc.getSelection();
        sel.removeAllRanges();
        sel.addRange(range);
        lastRange = range.cloneRange();
    }

    function saveSelection(root) {
        const r = root === body ? bodyRange() : liveRange(root);
        if (!r) return null;
        return { sp: pathOf(r.startContainer, root), so: r.startOffset,
                 ep: pathOf(r.endContainer, root), eo: r.endOffset };
    }

    function restoreSelection(root, saved) {
        const d = documentOf(root);
        const r = d.createRange();
        const s = saved && nodeAt(root, saved.sp);
        const e = saved && nodeAt(root, saved.ep);
        try {
            if (!s || !e) throw new Error("gone");
            r.setStart(s, saved.so);
            r.setEnd(e, saved.eo);
        } catch (err) {
            r.selectNodeContents(root);
            r.collapse(false);
        }
        if (root === body) {
            lastRange = r.cloneRange();
            if (bodyFocused()) select(r);
        } else if (document.activeElement === root) {
            const sel = document.getSelection();
            sel.removeAllRanges();
            sel.addRange(r);
        }
    }

    // The text offset of a point in the body. A caret in text (the common
    // case, typing) is counted node by node without building the text.
    function textOffset(container, offset) {
        if (container.nodeType === 3) {
            let count = offset;
            const walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT);
            for (let n = walker.nextNode(); n && n !== container; n = walker.nextNode())
                count += n.length;
            return count;
        }
        const r = doc.createRange();
        r.setStart(body, 0);
        try { r.setEnd(container, offset); } catch (e) { return 0; }
        return r.toString().length;
    }

    function textNodesIn(range) {
        const root = range.commonAncestorContainer;
        const out = [];
        if (root.nodeType === 3) return [root];
        const walker = doc.createTreeWalker(root, NodeFilter.SHOW_TEXT);
        for (let n = walker.nextNode(); n; n = walker.nextNode())
            if (range.intersectsNode(n)) out.push(n);
        return out;
    }

    // The element the caret stands in: an element the selection holds alone
    // (an image), else the element around the selection's start.
    function caretElement(range) {
        if (!range) return null;
        const c = range.startContainer;
        if (c === range.endContainer && c.nodeType === 1
            && range.endOffset - range.startOffset === 1) {
            const only = c.childNodes[range.startOffset];
            if (only && only.nodeType === 1) return only;
        }
        if (c.nodeType === 1 && range.collapsed && c.childNodes[range.startOffset]
            && c.childNodes[range.startOffset].localName === "img")
            return c.childNodes[range.startOffset];
        return elementOf(c);
    }

    function currentObjects() {
        const list = [];
        for (let n = caretElement(bodyRange()); n && n !== body && inside(n, body); n = n.parentElement)
            if (!isRun(n)) list.unshift(n);
        return list;
    }

    function bodyFocused() {
        return document.activeElement === frame;
    }

    // Whether the selection spans something (cheap: no offsets counted).
    function hasBodySelection() {
        const r = bodyRange();
        return !!r && !r.collapsed;
    }

    return {
        inside, elementOf, closestIn, unwrap, rename, pathOf, nodeAt, documentOf, liveRange,
        bodyRange, select, saveSelection, restoreSelection, textOffset, textNodesIn, caretElement,
        currentObjects, bodyFocused, hasBodySelection,
        forget() { lastRange = null; },
        remember(range) { lastRange = range ? range.cloneRange() : null; },
        last: () => lastRange,
    };
};
