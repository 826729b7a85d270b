// The rich-text behaviour of the post editor face: a contenteditable body with
// its own undo stack, the named methods the editor view calls, the toolbar's
// "richtext:" commands and the state the view reads synchronously.
"use strict";

(function () {
    const orvan = window.orvan;
    const START_SELECTION = "<!--StartSelection-->";
    const END_SELECTION = "<!--EndSelection-->";
    const BLOCKS = ["p", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "li", "div", "blockquote",
                    "address", "dd", "dt", "td", "th"];
    const UNDO_LIMIT = 300;
    // Prefix that keeps a post's meta http-equiv from acting inside the face.
    const DEFUSED = "x-orvan-inert-";
    // Typing within this many milliseconds of the last keystroke joins one undo step.
    const TYPING_JOIN_MS = 1500;

    let body = null;
    let title = null;
    // The body keeps its caret while the focus is elsewhere, as a text editor does.
    let lastRange = null;
    const undo = { done: [], undone: [], kind: null, time: 0 };

    // --- small DOM helpers ---------------------------------------------------

    function inside(node, root) {
        return !!node && !!root && (node === root || root.contains(node));
    }

    function elementOf(node) {
        return node && node.nodeType === 1 ? node : node ? node.parentElement : null;
    }

    function closestIn(node, tags) {
        for (let n = elementOf(node); n && n !== body; n = n.parentElement)
            if (tags.includes(n.localName)) return n;
        return null;
    }

    function unwrap(el) {
        const parent = el.parentNode;
        while (el.firstChild) parent.insertBefore(el.firstChild, el);
        parent.removeChild(el);
    }

    function rename(el, tag) {
        const n = document.createElement(tag);
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

    // --- selection ------------------------------------------------------------

    function liveRange(root) {
        const sel = document.getSelection();
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
        const sel = document.getSelection();
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
        const r = document.createRange();
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
        if (root === body) lastRange = r.cloneRange();
        if (document.activeElement === root) select(r);
    }

    function textOffset(container, offset) {
        const r = document.createRange();
        r.setStart(body, 0);
        try { r.setEnd(container, offset); } catch (e) { return 0; }
        return r.toString().length;
    }

    function textNodesIn(range) {
        const root = range.commonAncestorContainer;
        const out = [];
        if (root.nodeType === 3) return [root];
        const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
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
            list.unshift(n);
        return list;
    }

    // --- undo -----------------------------------------------------------------

    function editableOf(node) {
        if (inside(node, body)) return body;
        if (inside(node, title)) return title;
        return null;
    }

    function stateOf(root) {
        return { root: root === body ? "body" : "title", html: root.innerHTML,
                 selection: saveSelection(root) };
    }

    // Remembers the state before a change; typing runs join into one step.
    function record(root, kind) {
        const now = Date.now();
        const name = root === body ? "body" : "title";
        if (kind && kind === undo.kind && now - undo.time < TYPING_JOIN_MS
            && undo.done.length && undo.done[undo.done.length - 1].root === name) {
            undo.time = now;
            return;
        }
        undo.done.push(stateOf(root));
        if (undo.done.length > UNDO_LIMIT) undo.done.shift();
        undo.undone = [];
        undo.kind = kind || null;
        undo.time = now;
    }

    function breakTyping() { undo.kind = null; }

    function resetUndo() {
        undo.done = [];
        undo.undone = [];
        breakTyping();
    }

    function travel(from, to) {
        if (!from.length) return 0;
        const target = from.pop();
        const root = target.root === "body" ? body : title;
        to.push(stateOf(root));
        root.innerHTML = target.html;
        restoreSelection(root, target.selection);
        breakTyping();
        changed(root);
        return 1;
    }

    // --- change reporting -----------------------------------------------------

    function isEmptyBody() {
        return body.textContent.trim() === ""
            && !body.querySelector("img, hr, table, iframe, video, audio, object, embed");
    }

    function state() {
        const r = bodyRange();
        const objects = currentObjects();
        const focused = document.activeElement;
        const inEdit = focused === body || focused === title;
        const inField = focused && focused.localName === "input";
        const hasSel = (() => {
            const s = document.getSelection();
            return !!s && s.rangeCount > 0 && !s.isCollapsed;
        })();
        const range = r ? [textOffset(r.startContainer, r.startOffset),
                           textOffset(r.endContainer, r.endOffset)] : null;
        return {
            canUndo: inField ? 1 : (undo.done.length ? 1 : 0),
            canRedo: inField ? 1 : (undo.undone.length ? 1 : 0),
            canCut: (inEdit || inField) && hasSel ? 1 : 0,
            canCopy: hasSel ? 1 : 0,
            canPaste: inEdit || inField ? 1 : 0,
            canSelectAll: 1,
            style: currentStyle(),
            objects: objects.map((el) => el.localName),
            attributes: objects.map(attributesOf),
            selection: range,
            selectionText: r ? r.toString() : "",
            selectionFragment: selectedHtml(),
            focus: focused && focused !== document.body ? focused.id || "" : "",
            focused: focused === body ? 1 : 0,
            html: saveHTML(),
            rulers: body.classList.contains("rulers") ? 1 : 0,
        };
    }

    function publish() {
        body.classList.toggle("novalue", isEmptyBody());
        orvan.publish("richtext", state());
        updateToolbar();
    }

    // A change made through the face: the view hears it as an edit of that element.
    function changed(root) {
        publish();
        orvan.raise(orvan.EVENT.EDIT_VALUE_CHANGED, root, undefined, "richtext");
        if (root === body) orvan.raise(orvan.EVENT.UI_STATE_CHANGED, body, undefined, "richtext");
    }

    // --- what the view asks -----------------------------------------------------

    function attributesOf(el) {
        const out = {};
        for (const a of el.attributes) out[a.name] = a.value;
        return out;
    }

    function currentStyle() {
        const el = caretElement(bodyRange());
        if (!el || !inside(el, body)) return {};
        const cs = getComputedStyle(el);
        const lines = new Set();
        for (let n = el; n && inside(n, body); n = n.parentElement) {
            const d = getComputedStyle(n).textDecorationLine;
            if (d && d !== "none") d.split(/\s+/).forEach((x) => lines.add(x));
        }
        return {
            "font-weight": parseInt(cs.fontWeight, 10) || 400,
            "font-style": cs.fontStyle,
            "text-decoration": lines.size ? Array.from(lines).join(" ") : "none",
            "color": cs.color,
        };
    }

    // Elements whose http-equiv would act when inserted keep it under another name.
    function defuse(root) {
        for (const m of root.querySelectorAll("meta[http-equiv]"))
            m.setAttribute("http-equiv", DEFUSED + m.getAttribute("http-equiv"));
    }

    function serialize(root) {
        return root.innerHTML.replace(/\u200B/g, "")
            .replace(/ http-equiv="x-orvan-inert-/g, " http-equiv=\"");
    }

    function saveHTML() {
        const clone = body.cloneNode(true);
        const r = bodyRange();
        if (r) {
            const place = (path, offset, text) => {
                const node = nodeAt(clone, path);
                if (!node) return;
                const mark = document.createComment(text.slice(4, -3));
                if (node.nodeType === 3) {
                    const rest = node.splitText(Math.min(offset, node.length));
                    rest.parentNode.insertBefore(mark, rest);
                } else {
                    node.insertBefore(mark, node.childNodes[offset] || null);
                }
            };
            place(pathOf(r.endContainer, body), r.endOffset, END_SELECTION);
            place(pathOf(r.startContainer, body), r.startOffset, START_SELECTION);
        }
        return "<html><body>" + serialize(clone) + "</body></html>";
    }

    function selectedHtml() {
        const r = bodyRange();
        if (!r || r.collapsed) return "";
        const holder = document.createElement("div");
        holder.appendChild(r.cloneContents());
        return "<html><body><!--StartFragment-->" + serialize(holder)
            + "<!--EndFragment--></body></html>";
    }

    function setBody(html, keepUndo) {
        if (keepUndo) record(body, "set"); else resetUndo();
        const t = document.createElement("template");
        t.innerHTML = html === undefined || html === null ? "" : String(html);
        defuse(t.content);
        body.replaceChildren(t.content);
        lastRange = null;
        publish();
    }

    // --- editing operations --------------------------------------------------------

    function wordAround(range) {
        const n = range.startContainer;
        if (n.nodeType !== 3) return null;
        const text = n.data;
        let s = range.startOffset;
        let e = s;
        while (s > 0 && /[\p{L}\p{N}_'-]/u.test(text[s - 1])) s--;
        while (e < text.length && /[\p{L}\p{N}_'-]/u.test(text[e])) e++;
        if (s === e) return null;
        const w = document.createRange();
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
            const el = document.createElement(tag);
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
        const result = document.createRange();
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
                const el = document.createElement(tag);
                el.appendChild(document.createTextNode("\u200B"));
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
                let top = n;
                if (top === body) {
                    top = body.childNodes[r.startOffset] || body.lastChild;
                    if (!top) { top = document.createElement("p"); top.appendChild(document.createElement("br")); body.appendChild(top); }
                }
                while (top.parentNode !== body) top = top.parentNode;
                if (top.nodeType === 1 && BLOCKS.includes(top.localName)) { b = top; }
                else {
                    b = document.createElement("p");
                    let start = top;
                    while (start.previousSibling && !isBlockNode(start.previousSibling)) start = start.previousSibling;
                    body.insertBefore(b, start);
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
        const p = document.createElement("p");
        while (li.firstChild) p.appendChild(li.firstChild);
        const after = document.createElement(list.localName);
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
                const list = document.createElement(kind);
                blocks[0].parentNode.insertBefore(list, blocks[0]);
                for (let b of blocks) {
                    if (b.localName === "li") b = liftItem(b);
                    const li = document.createElement("li");
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
        const walker = document.createTreeWalker(body, NodeFilter.SHOW_TEXT);
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
        const r = document.createRange();
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
                        sub = document.createElement(list.localName);
                        prev.appendChild(sub);
                    }
                    sub.appendChild(b);
                } else if (list.parentNode && list.parentNode.localName === "li") {
                    const outer = list.parentNode;
                    const tail = document.createElement(list.localName);
                    while (b.nextSibling) tail.appendChild(b.nextSibling);
                    if (tail.childNodes.length) b.appendChild(tail);
                    outer.parentNode.insertBefore(b, outer.nextSibling);
                    if (!list.querySelector("li")) list.parentNode.removeChild(list);
                } else {
                    liftItem(b);
                }
            } else if (more) {
                const q = document.createElement("blockquote");
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
            r = document.createRange();
            r.selectNodeContents(body);
            r.collapse(false);
        }
        record(body, "insert");
        const t = document.createElement("template");
        t.innerHTML = html === undefined || html === null ? "" : String(html);
        defuse(t.content);
        const last = t.content.lastChild;
        r.deleteContents();
        r.insertNode(t.content);
        const after = document.createRange();
        if (last && last.isConnected) after.setStartAfter(last); else after.setStart(r.startContainer, r.startOffset);
        after.collapse(true);
        select(after);
        changed(body);
        return true;
    }

    // --- clipboard and the focused editor -----------------------------------------

    function focusedEditor() {
        const f = document.activeElement;
        if (f === body || f === title) return f;
        if (f && f.localName === "input") return f;
        return body;
    }

    function clipboard(command) {
        const target = focusedEditor();
        if (target.localName !== "input" && document.activeElement !== target) {
            target.focus();
            if (target === body && lastRange) select(lastRange);
        }
        let done = false;
        try { done = document.execCommand(command); } catch (e) { done = false; }
        return done ? 1 : 0;
    }

    function historyStep(forward) {
        const target = focusedEditor();
        if (target.localName === "input") return document.execCommand(forward ? "redo" : "undo") ? 1 : 0;
        return forward ? travel(undo.undone, undo.done) : travel(undo.done, undo.undone);
    }

    function selectAll() {
        const target = focusedEditor();
        if (target.localName === "input") { target.select(); return 1; }
        target.focus();
        const r = document.createRange();
        r.selectNodeContents(target);
        select(r);
        publish();
        return 1;
    }

    // --- the toolbar -------------------------------------------------------------

    const commands = {
        cut: () => clipboard("cut"),
        copy: () => clipboard("copy"),
        paste: () => clipboard("paste"),
        undo: () => historyStep(false),
        redo: () => historyStep(true),
        strong: () => toggleSpan("strong"),
        em: () => toggleSpan("em"),
        code: () => toggleSpan("code"),
        p: () => setBlock("p"),
        h1: () => setBlock("h1"),
        h2: () => setBlock("h2"),
        h3: () => setBlock("h3"),
        h4: () => setBlock("h4"),
        pre: () => setBlock("pre"),
        "li-ul": () => setBlock("ul/li"),
        "li-ol": () => setBlock("ol/li"),
        "indent-inc": () => indent(true),
        "indent-dec": () => indent(false),
        "show-rulers": () => { body.classList.toggle("rulers"); publish(); return 1; },
    };

    function toolbar() {
        const sel = body.getAttribute("toolbar");
        try { return sel ? document.querySelector(sel) : null; } catch (e) { return null; }
    }

    function mark(button, on, attr) {
        if (on) button.setAttribute(attr, ""); else button.removeAttribute(attr);
    }

    function updateToolbar() {
        const bar = toolbar();
        if (!bar) return;
        const tags = currentObjects().map((el) => el.localName);
        for (const b of bar.querySelectorAll("[command^='richtext:']")) {
            const name = b.getAttribute("command").slice(9);
            let on = false;
            if (["strong", "em", "code", "pre", "p", "h1", "h2", "h3", "h4"].includes(name)) on = tags.includes(name);
            else if (name === "li-ul") on = tags.includes("ul");
            else if (name === "li-ol") on = tags.includes("ol");
            else if (name === "show-rulers") on = body.classList.contains("rulers");
            mark(b, on, "checked");
            if (name === "undo") mark(b, !undo.done.length, "disabled");
            if (name === "redo") mark(b, !undo.undone.length, "disabled");
        }
    }

    function attachToolbar() {
        const bar = toolbar();
        if (!bar) return;
        // Buttons never take the focus from the text they act on.
        bar.addEventListener("mousedown", (ev) => { if (ev.target.closest(".tb-button")) ev.preventDefault(); });
        bar.addEventListener("click", (ev) => {
            const b = ev.target.closest("[command]");
            if (!b || b.hasAttribute("disabled")) return;
            const name = b.getAttribute("command");
            if (!name.startsWith("richtext:")) return;
            const run = commands[name.slice(9)];
            if (!run) return;
            if (document.activeElement !== body && !["cut", "copy", "paste", "undo", "redo"].includes(name.slice(9))) {
                body.focus();
                if (lastRange) select(lastRange);
            }
            run();
        });
    }

    // --- keyboard and native edits ----------------------------------------------------

    const KEY_SPANS = { b: "strong", i: "em", u: "u" };

    function onKeyDown(ev) {
        const root = editableOf(ev.target);
        if (!root) return;
        const key = ev.key.toLowerCase();
        const ctrl = ev.ctrlKey && !ev.altKey && !ev.metaKey;
        if (ctrl && (key === "z" || key === "y")) {
            ev.preventDefault();
            historyStep(key === "y" || ev.shiftKey);
            return;
        }
        if (ev.altKey && !ev.ctrlKey && ev.key === "Backspace") {
            ev.preventDefault();
            historyStep(false);
            return;
        }
        if (root === body && ctrl && !ev.shiftKey && KEY_SPANS[key]) {
            ev.preventDefault();
            toggleSpan(KEY_SPANS[key]);
            return;
        }
        if (root === title && ev.key === "Enter") {
            ev.preventDefault();
            body.focus();
            if (lastRange) select(lastRange);
            return;
        }
        if (!ev.key.startsWith("Arrow") && !["Home", "End", "PageUp", "PageDown"].includes(ev.key)) return;
        breakTyping();
    }

    function onBeforeInput(ev) {
        const root = editableOf(ev.target);
        if (!root) return;
        const type = ev.inputType || "";
        if (type === "historyUndo" || type === "historyRedo") {
            ev.preventDefault();
            historyStep(type === "historyRedo");
            return;
        }
        if (type === "formatBold" || type === "formatItalic" || type === "formatUnderline") {
            ev.preventDefault();
            if (root === body) toggleSpan({ formatBold: "strong", formatItalic: "em", formatUnderline: "u" }[type]);
            return;
        }
        let kind = null;
        if (type === "insertText" || type === "insertCompositionText") kind = "typing";
        else if (type === "deleteContentBackward" || type === "deleteContentForward") kind = "erasing";
        record(root, kind);
    }

    function onInput(ev) {
        const root = editableOf(ev.target);
        if (root !== body) { if (root === title) publish(); return; }
        publish();
        orvan.raise(orvan.EVENT.EDIT_VALUE_CHANGED, body, undefined, "richtext");
    }

    function onSelectionChange() {
        const r = liveRange(body);
        if (r) lastRange = r.cloneRange();
        publish();
        if (r) orvan.raise(orvan.EVENT.UI_STATE_CHANGED, body, undefined, "richtext");
    }

    // A click on an image selects it, so it is the current object.
    function onMouseDown(ev) {
        if (ev.target && ev.target.localName === "img" && inside(ev.target, body)) {
            breakTyping();
            const r = document.createRange();
            r.selectNode(ev.target);
            setTimeout(() => select(r), 0);
        } else if (inside(ev.target, body)) {
            breakTyping();
        }
    }

    function onFocusChange() {
        publish();
        orvan.raise(orvan.EVENT.UI_STATE_CHANGED, body, undefined, "richtext");
    }

    // --- the behaviour -------------------------------------------------------------------

    orvan.behaviours["richtext"] = {
        controlType: orvan.CONTROL.HTMLAREA,
        attach(el) {
            body = el;
            title = document.getElementById("div_title");
            try { document.execCommand("defaultParagraphSeparator", false, "p"); } catch (e) { /* older engines */ }
            document.addEventListener("keydown", onKeyDown, true);
            document.addEventListener("beforeinput", onBeforeInput, true);
            document.addEventListener("input", onInput, false);
            document.addEventListener("selectionchange", onSelectionChange);
            el.addEventListener("mousedown", onMouseDown);
            el.addEventListener("focus", onFocusChange);
            el.addEventListener("blur", onFocusChange);
            attachToolbar();
            publish();
        },
        getValue() { return serialize(body); },
        setValue(el, v) { setBody(v, false); },
        methods: {
            saveHTML: () => saveHTML(),
            // html, undoable: replaces the body; an undoable set can be taken back.
            setBody: (el, html, undoable) => { setBody(html, !!undoable); return true; },
            toggleSpan: (el, tag) => toggleSpan(tag),
            setBlock: (el, path) => setBlock(path),
            getCurrentStyle: () => currentStyle(),
            getCurrentObjects: () => currentObjects().map((n) => n.localName),
            getCurrentObjectAttributes(el, index) {
                const list = currentObjects();
                return Number.isInteger(index) && index >= 0 && index < list.length
                    ? attributesOf(list[index]) : null;
            },
            setCurrentObjectAttributes(el, index, map) {
                const list = currentObjects();
                if (!Number.isInteger(index) || index < 0 || index >= list.length) return false;
                const target = list[index];
                record(body, "attributes");
                for (const a of Array.from(target.attributes)) target.removeAttribute(a.name);
                for (const k of Object.keys(map || {})) {
                    if (/^on/i.test(k)) continue;
                    try { target.setAttribute(k, String(map[k])); } catch (e) { /* bad name */ }
                }
                changed(body);
                return true;
            },
            insertHtml: (el, html) => insertHtml(html),
            canUndo: () => state().canUndo,
            doUndo: () => historyStep(false),
            canRedo: () => state().canRedo,
            doRedo: () => historyStep(true),
            canCut: () => state().canCut,
            doCut: () => clipboard("cut"),
            canCopy: () => state().canCopy,
            doCopy: () => clipboard("copy"),
            canPaste: () => state().canPaste,
            doPaste: () => clipboard("paste"),
            canSelectAll: () => 1,
            doSelectAll: () => selectAll(),
            // Gives the body the focus and its caret back.
            focusBody() {
                body.focus();
                if (lastRange) select(lastRange);
                publish();
                return true;
            },
            // A command of the face's toolbar by its name ("strong", "li-ul" ...).
            command: (el, name) => (commands[name] ? commands[name]() : undefined),
            // Selection start and end as text offsets.
            3() {
                const r = bodyRange();
                return r ? [textOffset(r.startContainer, r.startOffset), textOffset(r.endContainer, r.endOffset)]
                         : undefined;
            },
            // The selected text.
            9() { const r = bodyRange(); return r ? r.toString() : ""; },
            // The selected HTML between fragment markers.
            10: () => selectedHtml(),
        },
    };

    // --- the link and author drop-downs --------------------------------------------------

    function optionTexts(drop) {
        return Array.from(drop.querySelectorAll("popup > option")).map(
            (o) => (o.hasAttribute("value") ? o.getAttribute("value") : o.textContent));
    }

    function showValue(drop, text) {
        drop.querySelector("input").value = text;
        for (const o of drop.querySelectorAll("popup > option"))
            mark(o, (o.hasAttribute("value") ? o.getAttribute("value") : o.textContent) === text, "selected");
    }

    function closeAll(except) {
        for (const d of document.querySelectorAll(".select-dropdown.open")) if (d !== except) d.classList.remove("open");
    }

    orvan.behaviours["dropdown"] = {
        controlType: orvan.CONTROL.SELECT,
        attach(drop) {
            const input = drop.querySelector("input");
            const button = drop.querySelector(".dropdown-button");
            const popup = drop.querySelector("popup");
            input.setAttribute("data-behaviour", "dropdown-field");
            input.addEventListener("input", () => {
                showValue(drop, input.value);
                orvan.raise(orvan.EVENT.SELECTION_CHANGED, drop, input.value, "dropdown");
            });
            input.addEventListener("keydown", (ev) => {
                if (ev.key === "ArrowDown" && ev.altKey) { drop.classList.add("open"); ev.preventDefault(); }
                else if (ev.key === "Escape") drop.classList.remove("open");
            });
            button.addEventListener("mousedown", (ev) => { ev.preventDefault(); input.focus(); });
            button.addEventListener("click", () => { closeAll(drop); drop.classList.toggle("open"); });
            popup.addEventListener("mousedown", (ev) => ev.preventDefault());
            popup.addEventListener("click", (ev) => {
                const o = ev.target.closest("option");
                if (!o) return;
                showValue(drop, o.hasAttribute("value") ? o.getAttribute("value") : o.textContent);
                drop.classList.remove("open");
                publish();
                orvan.raise(orvan.EVENT.SELECTION_CHANGED, drop, input.value, "dropdown");
            });
            input.addEventListener("blur", () => drop.classList.remove("open"));
        },
        getValue: (drop) => drop.querySelector("input").value,
        setValue: (drop, v) => showValue(drop, v === undefined || v === null ? "" : String(v)),
        methods: {
            // Offers the text (when new) and shows it; an empty text changes nothing.
            addChoice(drop, text) {
                text = text === undefined || text === null ? "" : String(text);
                if (!text) return false;
                if (!optionTexts(drop).includes(text)) {
                    const o = document.createElement("option");
                    o.textContent = text;
                    drop.querySelector("popup").appendChild(o);
                }
                showValue(drop, text);
                return true;
            },
            // Shows the text as the field's value, an empty one included.
            setChoice(drop, text) {
                showValue(drop, text === undefined || text === null ? "" : String(text));
                return true;
            },
            options: (drop) => optionTexts(drop),
        },
    };
    // The text field inside a drop-down reports through the drop-down only.
    orvan.behaviours["dropdown-field"] = { controlType: orvan.CONTROL.EDIT };
})();
