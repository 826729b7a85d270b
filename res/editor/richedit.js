// Editing operations of the rich-text behaviour: inline spans, blocks, lists,
// quotes and inserted HTML. Each records one undo step and reports one change
// through the context the behaviour hands over. Everything is made in the
// document the post is edited in (ctx.doc).
"use strict";

window.orvanRichEdit = function (ctx) {
    const { doc, body, BLOCKS, bodyRange, record, changed, select, textOffset, defuse,
            closestIn, unwrap, rename, textNodesIn, isRun } = ctx;

    function wordAround(range) {
        const n = range.startContainer;
        if (n.nodeType !== 3) return null;
        const text = n.data;
        let s = range.startOffset;
        let e = s;
        while (s > 0 && /[\p{L}\p{N}_'-]/u.test(text[s - 1])) s--;
        while (e < text.length && /[\p{L}\p{N}_'-]/u.test(text[e])) e++;
        if (s === e) return null;
        const w = doc.createRange();
        w.setStart(n, s);
        w.setEnd(n, e);
        return w;
    }

    function wrapText(range, tag) {
        const made = [];
        for (const t of textNodesIn(range)) {
            let node = t;
            const s = node === range.startContainer ? range.startOffset : 0;
            const e = node === range.endContainer ? range.endOffset : node.length;
            if (e <= s) continue;
            if (closestIn(node, [tag])) continue;
            if (e < node.length) node.splitText(e);
            if (s > 0) node = node.splitText(s);
            const el = doc.createElement(tag);
            node.parentNode.replaceChild(el, node);
            el.appendChild(node);
            made.push(el);
        }
        return made;
    }

    function toggleSpan(tag) {
        tag = String(tag || "").toLowerCase();
        const r = bodyRange();
        if (!tag || !r) return false;
        record(body, "format");
        const texts = r.collapsed ? [] : textNodesIn(r).filter((t) => t.data.trim() !== "");
        const around = texts.length ? texts.map((t) => closestIn(t, [tag]))
                                    : [closestIn(r.startContainer, [tag])];
        const result = doc.createRange();
        if (around.every((el) => el)) {
            const first = around[0];
            const last = around[around.length - 1];
            result.setStartBefore(first);
            result.setEndAfter(last);
            const start = [first.parentNode, Array.prototype.indexOf.call(first.parentNode.childNodes, first)];
            new Set(around).forEach(unwrap);
            result.setStart(start[0], start[1]);
            if (r.collapsed) result.collapse(true);
        } else if (r.collapsed) {
            const w = wordAround(r);
            if (w) {
                const made = wrapText(w, tag);
                result.selectNodeContents(made[0]);
                result.collapse(false);
            } else {
                const el = doc.createElement(tag);
                el.appendChild(doc.createTextNode("\u200B"));
                r.insertNode(el);
                result.setStart(el.firstChild, 1);
                result.collapse(true);
            }
        } else {
            const made = wrapText(r, tag);
            if (!made.length) return false;
            result.setStartBefore(made[0]);
            result.setEndAfter(made[made.length - 1]);
        }
        body.normalize();
        select(result.startContainer.isConnected ? result : r);
        changed(body);
        return true;
    }

    // The blocks the selection touches; loose text directly in the body gets a paragraph.
    function selectedBlocks(r) {
        const nodes = r.collapsed ? [r.startContainer] : textNodesIn(r);
        if (!nodes.length) nodes.push(r.startContainer);
        const blocks = [];
        for (const n of nodes) {
            let b = closestIn(n, BLOCKS);
            if (!b) {
                // The top is a child of the body, or of a run of a long post's blocks.
                const level = (x) => x === body || isRun(x);
                let top = n;
                if (level(top)) {
                    const container = top;
                    top = container.childNodes[r.startOffset] || container.lastChild;
                    if (!top) { top = doc.createElement("p"); top.appendChild(doc.createElement("br")); container.appendChild(top); }
                }
                while (!level(top.parentNode)) top = top.parentNode;
                if (top.nodeType === 1 && BLOCKS.includes(top.localName)) { b = top; }
                else {
                    b = doc.createElement("p");
                    let start = top;
                    while (start.previousSibling && !isBlockNode(start.previousSibling)) start = start.previousSibling;
                    start.parentNode.insertBefore(b, start);
                    for (let x = start; x && !isBlockNode(x);) { const next = x.nextSibling; b.appendChild(x); x = next; }
                }
            }
            if (!blocks.includes(b)) blocks.push(b);
        }
        return blocks;
    }

    function isBlockNode(n) {
        return n.nodeType === 1 && (BLOCKS.includes(n.localName) || ["ul", "ol", "hr", "table"].includes(n.localName));
    }

    // Takes a list item out of its list as a paragraph, splitting the list around it.
    function liftItem(li) {
        const list = li.parentNode;
        const p = doc.createElement("p");
        while (li.firstChild) p.appendChild(li.firstChild);
        const after = doc.createElement(list.localName);
        while (li.nextSibling) after.appendChild(li.nextSibling);
        list.removeChild(li);
        list.parentNode.insertBefore(p, list.nextSibling);
        if (after.childNodes.length) p.parentNode.insertBefore(after, p.nextSibling);
        if (!list.querySelector("li")) list.parentNode.removeChild(list);
        return p;
    }

    function setBlock(path) {
        const parts = String(path || "").toLowerCase().split("/").filter((x) => x);
        const r = bodyRange();
        if (!parts.length || !r) return false;
        record(body, "block");
        const saved = saveSelectionText(r);
        let blocks = selectedBlocks(r);
        if (parts.length === 2 && parts[1] === "li" && (parts[0] === "ul" || parts[0] === "ol")) {
            const kind = parts[0];
            if (blocks.every((b) => b.localName === "li" && b.parentNode.localName === kind)) {
                blocks.forEach(liftItem);
            } else if (blocks.every((b) => b.localName === "li")) {
                new Set(blocks.map((b) => b.parentNode)).forEach((l) => rename(l, kind));
            } else {
                const list = doc.createElement(kind);
                blocks[0].parentNode.insertBefore(list, blocks[0]);
                for (let b of blocks) {
                    if (b.localName === "li") b = liftItem(b);
                    const li = doc.createElement("li");
                    if (b.localName === "p" || b.localName === "div") {
                        while (b.firstChild) li.appendChild(b.firstChild);
                        b.parentNode.removeChild(b);
                    } else {
                        li.appendChild(b);
                    }
                    list.appendChild(li);
                }
            }
        } else {
            const tag = parts[parts.length - 1];
            const all = blocks.every((b) => b.localName === tag);
            const to = all && tag !== "p" ? "p" : tag;
            blocks = blocks.map((b) => (b.localName === "li" ? liftItem(b) : b));
            blocks.forEach((b) => { if (b.localName !== to && b !== body) rename(b, to); });
        }
        restoreSelectionText(saved);
        changed(body);
        return true;
    }

    // Selections kept as text offsets survive blocks being rebuilt around them.
    function saveSelectionText(r) {
        return [textOffset(r.startContainer, r.startOffset), textOffset(r.endContainer, r.endOffset)];
    }

    function pointAt(offset) {
        const walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT);
        let seen = 0;
        let last = null;
        for (let n = walker.nextNode(); n; n = walker.nextNode()) {
            if (seen + n.length >= offset) return [n, offset - seen];
            seen += n.length;
            last = n;
        }
        return last ? [last, last.length] : [body, body.childNodes.length];
    }

    function restoreSelectionText(saved) {
        const r = doc.createRange();
        const s = pointAt(saved[0]);
        const e = pointAt(saved[1]);
        r.setStart(s[0], s[1]);
        r.setEnd(e[0], e[1]);
        select(r);
    }

    function indent(more) {
        const r = bodyRange();
        if (!r) return false;
        record(body, "block");
        const saved = saveSelectionText(r);
        const blocks = selectedBlocks(r);
        for (const b of blocks) {
            if (b.localName === "li") {
                const list = b.parentNode;
                if (more) {
                    const prev = b.previousElementSibling;
                    if (!prev || prev.localName !== "li") continue;
                    let sub = prev.lastElementChild;
                    if (!sub || sub.localName !== list.localName) {
                        sub = doc.createElement(list.localName);
                        prev.appendChild(sub);
                    }
                    sub.appendChild(b);
                } else if (list.parentNode && list.parentNode.localName === "li") {
                    const outer = list.parentNode;
                    const tail = doc.createElement(list.localName);
                    while (b.nextSibling) tail.appendChild(b.nextSibling);
                    if (tail.childNodes.length) b.appendChild(tail);
                    outer.parentNode.insertBefore(b, outer.nextSibling);
                    if (!list.querySelector("li")) list.parentNode.removeChild(list);
                } else {
                    liftItem(b);
                }
            } else if (more) {
                const q = doc.createElement("blockquote");
                b.parentNode.insertBefore(q, b);
                q.appendChild(b);
            } else {
                const q = closestIn(b, ["blockquote"]);
                if (q) unwrap(q);
            }
        }
        restoreSelectionText(saved);
        changed(body);
        return true;
    }

    function insertHtml(html) {
        let r = bodyRange();
        if (!r) {
            r = doc.createRange();
            r.selectNodeContents(body);
            r.collapse(false);
        }
        record(body, "insert");
        const t = doc.createElement("template");
        t.innerHTML = html === undefined || html === null ? "" : String(html);
        defuse(t.content);
        const last = t.content.lastChild;
        r.deleteContents();
        r.insertNode(t.content);
        const after = doc.createRange();
        if (last && last.isConnected) after.setStartAfter(last); else after.setStart(r.startContainer, r.startOffset);
        after.collapse(true);
        select(after);
        changed(body);
        return true;
    }


    return { toggleSpan, setBlock, indent, insertHtml };
};
