// The rich-text behaviour of the post editor face: a contenteditable body with
// its own undo stack (undostack.js), the named methods the editor view calls,
// the toolbar's "richtext:" commands and the state the view reads synchronously.
"use strict";

(function () {
    const orvan = window.orvan;
    const START_SELECTION = "<!--StartSelection-->";
    const END_SELECTION = "<!--EndSelection-->";
    const BLOCKS = ["p", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "li", "div", "blockquote",
                    "address", "dd", "dt", "td", "th"];
    // Prefix that keeps a post's meta http-equiv from acting inside the face.
    const DEFUSED = "x-orvan-inert-";

    let body = null;
    let title = null;
    // The body keeps its caret while the focus is elsewhere, as a text editor does.
    let lastRange = null;
    // The undo stack of the body and the title (undostack.js), made on attaching.
    let undoStack = null;

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

    function editableOf(node) {
        if (inside(node, body)) return body;
        if (inside(node, title)) return title;
        return null;
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
            canUndo: inField ? 1 : (undoStack.canUndo() ? 1 : 0),
            canRedo: inField ? 1 : (undoStack.canRedo() ? 1 : 0),
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
        if (keepUndo) undoStack.record(body, "set"); else undoStack.reset();
        const t = document.createElement("template");
        t.innerHTML = html === undefined || html === null ? "" : String(html);
        defuse(t.content);
        body.replaceChildren(t.content);
        lastRange = null;
        publish();
    }

    // --- editing operations (richedit.js) ------------------------------------------

    let edit = null;
    function toggleSpan(tag) { return edit ? edit.toggleSpan(tag) : false; }
    function setBlock(path) { return edit ? edit.setBlock(path) : false; }
    function indent(more) { return edit ? edit.indent(more) : false; }
    function insertHtml(html) { return edit ? edit.insertHtml(html) : false; }

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
        return forward ? undoStack.redo() : undoStack.undo();
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
            if (name === "undo") mark(b, !undoStack.canUndo(), "disabled");
            if (name === "redo") mark(b, !undoStack.canRedo(), "disabled");
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
        undoStack.breakTyping();
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
        undoStack.record(root, kind);
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
            undoStack.breakTyping();
            const r = document.createRange();
            r.selectNode(ev.target);
            setTimeout(() => select(r), 0);
        } else if (inside(ev.target, body)) {
            undoStack.breakTyping();
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
            undoStack = window.orvanUndoStack({ body, title, saveSelection, restoreSelection, changed });
            edit = window.orvanRichEdit({
                body, BLOCKS, bodyRange, record: undoStack.record, changed, select, textOffset, defuse,
                closestIn, unwrap, rename, textNodesIn,
            });
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
                undoStack.record(body, "attributes");
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

})();
