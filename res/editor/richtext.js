// The rich-text behaviour of the post editor face. The post is edited in a
// frame of its own (postframe.js); this drives it from the face: its own
// undo stack (undostack.js), the named methods the editor view calls, the
// toolbar's "richtext:" commands and the small state the view reads.
//
// What travels to C++: every change of the body is a "changed" notice with a
// version number; the body's HTML goes only when C++ asks for it (take, or
// load when the body it replaces was not taken yet). Every event carries the
// number C++ gave the post on show (orvan.context), so an edit always goes to
// the post it was made in.
"use strict";

(function () {
    const orvan = window.orvan;
    const START_SELECTION = "<!--StartSelection-->";
    const END_SELECTION = "<!--EndSelection-->";
    const BLOCKS = ["p", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "li", "div", "blockquote",
                    "address", "dd", "dt", "td", "th"];
    // Prefix that keeps a post's meta http-equiv from acting.
    const DEFUSED = "x-orvan-inert-";

    let host = null;
    let frame = null;
    let post = null;
    let doc = null;
    let body = null;
    let title = null;
    // The post's selection and DOM helpers (selection.js), made on attaching.
    let sel = null;
    let inside, elementOf, closestIn, unwrap, rename, pathOf, nodeAt, documentOf, liveRange,
        bodyRange, select, saveSelection, restoreSelection, textOffset, textNodesIn,
        currentObjects, caretElement, bodyFocused;
    let undoStack = null;
    let edit = null;
    // The number of the last change of the body, and of the last one whose
    // HTML went to C++ (or came from it).
    let version = 0;
    let takenVersion = 0;

    // --- change reporting -----------------------------------------------------

    // Stops at the first text or media it meets, so a long post costs nothing.
    function isEmptyBody() {
        const walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT);
        for (let n = walker.nextNode(); n; n = walker.nextNode())
            if (n.data.trim() !== "") return false;
        return !body.querySelector(post.SHOWN_WITHOUT_TEXT);
    }

    function state() {
        const r = bodyRange();
        const objects = currentObjects();
        const focused = document.activeElement;
        const inBody = focused === frame;
        const inEdit = inBody || focused === title;
        const inField = focused && focused.localName === "input";
        const sel = (inBody ? doc : document).getSelection();
        const hasSel = !!sel && sel.rangeCount > 0 && !sel.isCollapsed;
        // Offsets are counted only for a selection: a caret's offset would cost
        // a walk through the post on every key.
        const range = r && !r.collapsed ? [textOffset(r.startContainer, r.startOffset),
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
            caret: r && r.collapsed ? 1 : 0,
            selectionText: r && !r.collapsed ? r.toString() : "",
            selectionFragment: selectedHtml(),
            focus: focused && focused !== document.body ? focused.id || "" : "",
            focused: inBody ? 1 : 0,
            version,
            rulers: body.classList.contains("rulers") ? 1 : 0,
        };
    }

    function publish() {
        body.classList.toggle("novalue", isEmptyBody());
        orvan.publish("richtext", state());
        updateToolbar();
    }

    // A change made through the face: the view hears it as an edit of the
    // body (a notice with its version) or of the title (its text).
    function changed(root) {
        publish();
        if (root === title) {
            orvan.raise(orvan.EVENT.EDIT_VALUE_CHANGED, title, title.textContent, "richtext");
            return;
        }
        version++;
        orvan.raise(orvan.EVENT.EDIT_VALUE_CHANGED, host, { version }, "richtext");
        orvan.raise(orvan.EVENT.UI_STATE_CHANGED, host, undefined, "richtext");
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
        const view = doc.defaultView;
        const cs = view.getComputedStyle(el);
        const lines = new Set();
        for (let n = el; n && inside(n, body); n = n.parentElement) {
            const d = view.getComputedStyle(n).textDecorationLine;
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
        return post.plainHtml(root).replace(/\u200B/g, "")
            .replace(/ http-equiv="x-orvan-inert-/g, " http-equiv=\"");
    }

    // The body with the selection marked, as the link dialog reads it.
    function saveHTML() {
        const clone = body.cloneNode(true);
        const r = bodyRange();
        if (r) {
            const place = (path, offset, text) => {
                const node = nodeAt(clone, path);
                if (!node) return;
                const mark = doc.createComment(text.slice(4, -3));
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
        const holder = doc.createElement("div");
        holder.appendChild(r.cloneContents());
        return "<html><body><!--StartFragment-->" + serialize(holder)
            + "<!--EndFragment--></body></html>";
    }

    // Replaces the body with HTML that came from C++: nothing of it is left to take.
    function setBody(html, keepUndo) {
        if (keepUndo) undoStack.record(body, "set"); else undoStack.reset();
        const text = html === undefined || html === null ? "" : String(html);
        const t = doc.createElement("template");
        t.innerHTML = text;
        defuse(t.content);
        post.makeRuns(t.content);
        body.replaceChildren(t.content);
        post.switchOff(body);
        sel.forget();
        takenVersion = version;
        publish();
    }

    // The body as C++ stores it, when it changed since C++ last had it.
    function take() {
        const answer = { serial: orvan.context, version };
        if (version > takenVersion) {
            answer.html = serialize(body);
            takenVersion = version;
        }
        return answer;
    }

    function setEditable(on) {
        body.setAttribute("contenteditable", on ? "true" : "false");
        title.setAttribute("contenteditable", on ? "plaintext-only" : "false");
        for (const input of document.querySelectorAll(".select-dropdown input")) input.readOnly = !on;
        publish();
    }

    // --- editing operations (richedit.js) ------------------------------------------

    // Nothing changes the post while the face is read-only or shows no post.
    function editable() { return !!body && body.isContentEditable; }
    function toggleSpan(tag) { return edit && editable() ? edit.toggleSpan(tag) : false; }
    function setBlock(path) { return edit && editable() ? edit.setBlock(path) : false; }
    function indent(more) { return edit && editable() ? edit.indent(more) : false; }
    function insertHtml(html) { return edit && editable() ? edit.insertHtml(html) : false; }

    // --- clipboard and the focused editor -----------------------------------------

    function focusBody() {
        frame.focus();
        body.focus();
        if (sel.last()) select(sel.last());
    }

    function focusedEditor() {
        const f = document.activeElement;
        if (f === frame) return body;
        if (f === title) return f;
        if (f && f.localName === "input") return f;
        return body;
    }

    function clipboard(command) {
        const target = focusedEditor();
        if (target === body && !bodyFocused()) focusBody();
        else if (target === title && document.activeElement !== title) title.focus();
        let done = false;
        try { done = documentOf(target).execCommand(command); } catch (e) { done = false; }
        return done ? 1 : 0;
    }

    function historyStep(forward) {
        if (!editable()) return 0;
        const target = focusedEditor();
        if (target.localName === "input") return document.execCommand(forward ? "redo" : "undo") ? 1 : 0;
        return forward ? undoStack.redo() : undoStack.undo();
    }

    function selectAll() {
        const target = focusedEditor();
        if (target.localName === "input") { target.select(); return 1; }
        if (target === title) {
            title.focus();
            document.getSelection().selectAllChildren(title);
        } else {
            focusBody();
            const r = doc.createRange();
            r.selectNodeContents(body);
            select(r);
        }
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
        const sel = host.getAttribute("toolbar");
        try { return sel ? document.querySelector(sel) : null; } catch (e) { return null; }
    }

    // Touches an attribute only when its state changes, so typing restyles nothing.
    function mark(button, on, attr) {
        if (on === button.hasAttribute(attr)) return;
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
            if (!bodyFocused() && !["cut", "copy", "paste", "undo", "redo"].includes(name.slice(9)))
                focusBody();
            run();
        });
    }

    // --- keyboard and native edits ----------------------------------------------------

    const KEY_SPANS = { b: "strong", i: "em", u: "u" };

    function editableOf(node) {
        if (inside(node, body)) return body;
        if (inside(node, title)) return title;
        return null;
    }

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
        if (root === body && ev.ctrlKey && !ev.altKey && (ev.key === "End" || ev.key === "Home")
            && post.caretToEdge(ev.key === "End", ev.shiftKey)) {
            ev.preventDefault();
            undoStack.breakTyping();
            return;
        }
        if (root === body && !ev.altKey && !ev.metaKey && (ev.key === "Backspace" || ev.key === "Delete"
            || ev.key === "Enter" || ev.key.length === 1))
            post.openRunsFor(ev.key === "Backspace", ev.key === "Delete");
        if (root === title && ev.key === "Enter") {
            ev.preventDefault();
            focusBody();
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
        if (root === body)
            post.openRunsFor(type.startsWith("delete") && type.endsWith("Backward"),
                             type.startsWith("delete") && type.endsWith("Forward"));
        let kind = null;
        if (type === "insertText" || type === "insertCompositionText") kind = "typing";
        else if (type === "deleteContentBackward" || type === "deleteContentForward") kind = "erasing";
        undoStack.record(root, kind);
    }

    // The browser gives a paragraph split off another all of its attributes;
    // one split off the program's footer must not pass for a footer itself.
    function unmarkSplitFooter() {
        const p = closestIn(bodyRange() && bodyRange().startContainer, ["p"]);
        if (p && (p.getAttribute("name") || "").toUpperCase() === "ADV"
            && !/created by/i.test(p.textContent))
            p.removeAttribute("name");
    }

    function onInput(ev) {
        const root = editableOf(ev.target);
        if (root === body) unmarkSplitFooter();
        if (root) changed(root);
    }

    function onSelectionChange() {
        const r = liveRange(body);
        if (r) sel.remember(r);
        publish();
        if (r) orvan.raise(orvan.EVENT.UI_STATE_CHANGED, host, undefined, "richtext");
    }

    // A click on an image selects it, so it is the current object.
    function onMouseDown(ev) {
        if (ev.target && ev.target.localName === "img" && inside(ev.target, body)) {
            undoStack.breakTyping();
            const r = doc.createRange();
            r.selectNode(ev.target);
            setTimeout(() => select(r), 0);
        } else if (inside(ev.target, body)) {
            undoStack.breakTyping();
        }
    }

    function onFocusChange() {
        publish();
        orvan.raise(orvan.EVENT.UI_STATE_CHANGED, host, undefined, "richtext");
    }

    // A selection made in the title or a field of the face changes what the
    // edit commands can do; the post's own selection is heard in its frame.
    function onFaceSelectionChange() {
        const focused = document.activeElement;
        if (focused === title || (focused && focused.localName === "input")) publish();
    }

    // --- the behaviours -------------------------------------------------------------------

    // The title line: plain text, stored exactly as shown.
    orvan.behaviours["plaintext"] = {
        controlType: orvan.CONTROL.EDIT,
        getValue: (el) => el.textContent,
        setValue: (el, v) => { el.textContent = v === undefined || v === null ? "" : String(v); },
    };

    orvan.behaviours["richtext"] = {
        controlType: orvan.CONTROL.HTMLAREA,
        attach(el) {
            host = el;
            frame = el.querySelector("iframe");
            post = window.orvanPostFrame(frame);
            doc = post.doc;
            body = post.body;
            title = document.getElementById("div_title");
            sel = window.orvanSelection({ doc, body, frame, isRun: post.isRun });
            ({ inside, elementOf, closestIn, unwrap, rename, pathOf, nodeAt, documentOf, liveRange,
               bodyRange, select, saveSelection, restoreSelection, textOffset, textNodesIn,
               currentObjects, caretElement, bodyFocused } = sel);
            undoStack = window.orvanUndoStack({ body, title, saveSelection, restoreSelection, changed });
            edit = window.orvanRichEdit({
                doc, body, BLOCKS, bodyRange, record: undoStack.record, changed, select, textOffset,
                defuse, closestIn, unwrap, rename, textNodesIn, isRun: post.isRun,
            });
            try { doc.execCommand("defaultParagraphSeparator", false, "p"); } catch (e) { /* older engines */ }
            for (const d of [document, doc]) {
                d.addEventListener("keydown", onKeyDown, true);
                d.addEventListener("beforeinput", onBeforeInput, true);
                d.addEventListener("input", onInput, false);
            }
            doc.addEventListener("selectionchange", onSelectionChange);
            document.addEventListener("selectionchange", onFaceSelectionChange);
            title.addEventListener("focus", onFocusChange);
            title.addEventListener("blur", onFocusChange);
            body.addEventListener("mousedown", onMouseDown);
            frame.addEventListener("focus", onFocusChange);
            frame.addEventListener("blur", onFocusChange);
            attachToolbar();
            publish();
        },
        getValue() { return serialize(body); },
        setValue(el, v) { setBody(v, false); },
        methods: {
            // Shows post serial: its body and title. The answer carries the
            // body it replaced when that was changed and not taken yet.
            load(el, serial, html, text) {
                const replaced = version > takenVersion
                    ? { serial: orvan.context, version, html: serialize(body) } : undefined;
                orvan.context = serial;
                setBody(html, false);
                title.textContent = text === undefined || text === null ? "" : String(text);
                return replaced ? { replaced } : {};
            },
            // Once the page has handled count key presses: the post on show,
            // the version of its body, and the body when C++ does not have it.
            take: (el, count) => orvan.keysSeen(count || 0).then(take),
            saveHTML: () => saveHTML(),
            // html, undoable: replaces the body; an undoable set can be taken back.
            setBody: (el, html, undoable) => { setBody(html, !!undoable); return true; },
            setEditable: (el, on) => { setEditable(!!on); return true; },
            fitToContent: (el, on) => { post.fitToContent(!!on); return true; },
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
                if (!editable()) return false;
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
                focusBody();
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
