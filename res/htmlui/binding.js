// The page side of HtmlSurface.
//
// A page's head carries, in this order:
//   <meta http-equiv="Content-Security-Policy" content="%PAGE_CSP%">
//   <script src="qrc:///qtwebchannel/qwebchannel.js"></script>
//   <script src="qrc:/htmlui/binding.js"></script>
//   <script src="qrc:/.../your-behaviour.js"></script>   (optional)
// HtmlSurface writes the program's one policy (HTMLUI_PAGE_CSP) in place of
// %PAGE_CSP% when it loads the page.
//
// A behaviour script registers itself by name and is attached to every
// element whose attribute data-behaviour names it:
//   orvan.behaviours["richtext"] = {
//       controlType: 11,                  // optional; 11 (HTML area) by default
//       attach(el) { ... },               // optional, once per element on load
//       getValue(el) { ... },             // optional control value read/write
//       setValue(el, value) { ... },
//       methods: { canUndo(el) { return 1; }, toggleSpan(el, tag) { ... } },
//   };
// C++ callMethod(selector, "toggleSpan", {u"b"_s}) runs methods.toggleSpan(el, "b").
// A method may answer with a Promise; C++ gets the value it settles with.
//
// State: orvan.publish("richtext", {canUndo: 1, style: {...}}) replaces what
// C++ reads as snapshot("richtext"). orvan.raise(code, el, value) sends an event
// (e.g. 4 edit value changed, 5 selection changed, 149 UI state changed).
// Publishing and raising are batched to the end of the current task, and the
// batch always carries a fresh snapshot, so C++ never sees an event before the
// state it follows from. orvan.changed() asks for a push without an event.
// orvan.UNDEFINED is the undefined value in values and method answers.
// orvan.context (a number) goes with every event raised, so C++ knows what the
// page was showing when it happened.
//
// Keys: orvan.keys counts the keydown events the page has seen (in its own
// document and in every document given to orvan.countKeys). C++ counts the
// key presses it hands to the page; orvan.keysSeen(n) settles once the page
// has seen n, so an answer given after it includes every key typed before
// the question was asked.
//
// The snapshot C++ reads holds: the title; the focused element (id, name,
// tag); the value of every named control (first of a name wins); for every
// element with an id its tag, control type, attributes, checked and focused
// state, inner HTML, text, control value and option values; and every
// behaviour's published state. An element marked data-snapshot="none" keeps
// only tag, type, attributes and states (use it for large editable bodies
// whose behaviour publishes what C++ needs); such an element also gives no
// value to the named values. data-snapshot="value" keeps the control value
// too, but neither HTML, text nor options. Content size is measured only on
// the host's request, since it forces layout.
//
// Control types: 0 none, 1 unknown (hidden input), 2 edit, 3 numeric,
// 4 button, 5 checkbox, 6 radio, 7 multiple select, 8 select, 9 textarea,
// 11 HTML area (contenteditable, or an element with a behaviour), 12 link.
// Radio and checkbox groups are the like-named members under the control's
// parent element, so keep a group's members side by side.
"use strict";

(function () {
    const UNDEFINED_KEY = "$undefined";
    const CONTROL = {
        NONE: 0, UNKNOWN: 1, EDIT: 2, NUMERIC: 3, BUTTON: 4, CHECKBOX: 5, RADIO: 6,
        SELECT_MULTIPLE: 7, SELECT: 8, TEXTAREA: 9, HTMLAREA: 11, HYPERLINK: 12,
    };
    const EVENT = {
        BUTTON_CLICK: 0, BUTTON_STATE_CHANGED: 1, EDIT_VALUE_CHANGED: 4,
        SELECTION_CHANGED: 5, UI_STATE_CHANGED: 149, HYPERLINK_CLICK: 32896,
        BACKGROUND_PRESS: -1,
    };
    const EXTERNAL_SCHEMES = ["http:", "https:", "mailto:", "ftp:"];

    let bridge = null;
    let generation = -1;
    let lastSeq = 0;
    let scheduled = false;
    let events = [];
    // Measuring forces layout twice, so it runs only when the host asks.
    let lastSize = { w: 0, h: 0 };
    let results = [];
    const states = {};

    // Keys seen, and the answers waiting for a count (see orvan.keysSeen).
    let keys = 0, keyWaiters = [];

    const orvan = {
        behaviours: {},
        context: 0,
        get keys() { return keys; },
        countKeys, keysSeen,
        // Set by the host: movable makes a press on plain content move the window.
        options: { movable: false },
        CONTROL, EVENT,
        UNDEFINED: undefined,
        publish(name, state) { states[name] = state; schedule(); },
        raise(code, el, value, behaviour) {
            events.push(describeEvent(code, el, value, behaviour || ""));
            schedule();
        },
        changed() { schedule(); },
        controlType, getControlValue, setControlValue, behaviourOf,
    };
    window.orvan = orvan;

    // --- keys --------------------------------------------------------------

    // A count that does not move for this long is as far as it gets: a key
    // press the engine took for itself never arrives.
    const KEY_WAIT_MS = 400;
    // Key and input events seen, so a wait can tell when they have settled.
    let activity = 0;

    function onKey() {
        keys++;
        activity++;
        for (const w of keyWaiters) w.progress();
    }

    function countKeys(doc) {
        doc.addEventListener("keydown", onKey, true);
        for (const name of ["keypress", "beforeinput", "input", "keyup"])
            doc.addEventListener(name, () => { activity++; }, true);
    }

    // Runs done once a whole task went by without a key or input event: the
    // text a key press types arrives in an event of its own after its keydown.
    function whenSettled(done) {
        const mark = activity;
        setTimeout(() => (activity === mark ? done() : whenSettled(done)), 0);
    }

    // Settles with the count once count keys were seen and handled, or once
    // none came for a while.
    function keysSeen(count) {
        return new Promise((resolve) => {
            const w = { timer: 0 };
            const finish = () => {
                clearTimeout(w.timer);
                keyWaiters = keyWaiters.filter((x) => x !== w);
                whenSettled(() => resolve(keys));
            };
            w.progress = () => {
                clearTimeout(w.timer);
                if (keys >= count) finish(); else w.timer = setTimeout(finish, KEY_WAIT_MS);
            };
            keyWaiters.push(w);
            w.progress();
        });
    }

    // --- values on the wire ------------------------------------------------

    function encode(v) {
        if (v === undefined) return { [UNDEFINED_KEY]: true };
        if (v === null || typeof v !== "object") {
            if (typeof v === "number" && !Number.isInteger(v)) return String(v);
            return v;
        }
        if (Array.isArray(v)) return v.map(encode);
        const out = {};
        for (const k of Object.keys(v)) out[k] = encode(v[k]);
        return out;
    }

    function decode(v) {
        if (v === null || typeof v !== "object") return v;
        if (Array.isArray(v)) return v.map(decode);
        if (v[UNDEFINED_KEY] === true && Object.keys(v).length === 1) return undefined;
        const out = {};
        for (const k of Object.keys(v)) out[k] = decode(v[k]);
        return out;
    }

    // --- controls ------------------------------------------------------------

    function behaviourOf(el) {
        const name = el && el.getAttribute && el.getAttribute("data-behaviour");
        return name ? orvan.behaviours[name] || null : null;
    }

    function isEditable(el) {
        const ce = el.getAttribute("contenteditable");
        return ce !== null && ce.toLowerCase() !== "false";
    }

    function controlType(el) {
        if (!el || el.nodeType !== 1) return CONTROL.NONE;
        const b = behaviourOf(el);
        if (b) return b.controlType !== undefined ? b.controlType : CONTROL.HTMLAREA;
        const tag = el.localName;
        if (tag === "input") {
            const type = (el.getAttribute("type") || "text").toLowerCase();
            if (type === "hidden") return CONTROL.UNKNOWN;
            if (["button", "submit", "reset", "image"].includes(type)) return CONTROL.BUTTON;
            if (type === "checkbox") return CONTROL.CHECKBOX;
            if (type === "radio") return CONTROL.RADIO;
            if (type === "number" || type === "range") return CONTROL.NUMERIC;
            return CONTROL.EDIT;
        }
        if (tag === "button") return CONTROL.BUTTON;
        if (tag === "select") return el.multiple ? CONTROL.SELECT_MULTIPLE : CONTROL.SELECT;
        if (tag === "textarea") return CONTROL.TEXTAREA;
        if (isEditable(el)) return CONTROL.HTMLAREA;
        if (tag === "a" && el.hasAttribute("href")) return CONTROL.HYPERLINK;
        return CONTROL.NONE;
    }

    // Radio and checkbox groups are the like-named members under the control's parent.
    function group(el, type) {
        const parent = el.parentElement;
        if (!parent) return [el];
        const name = el.getAttribute("name") || "";
        return Array.from(parent.querySelectorAll(
            "[type='" + type + "'][name='" + CSS.escape(name) + "']"));
    }

    function getControlValue(el) {
        const b = behaviourOf(el);
        if (b && b.getValue) return b.getValue(el);
        switch (controlType(el)) {
        case CONTROL.NONE:
        case CONTROL.HYPERLINK:
            return undefined;
        case CONTROL.UNKNOWN:
            return el.getAttribute("type") === "hidden" ? (el.getAttribute("value") || "")
                                                          : undefined;
        case CONTROL.BUTTON:
            return el.getAttribute("value") || "";
        case CONTROL.RADIO: {
            const i = group(el, "radio").findIndex((r) => r.checked);
            return i < 0 ? undefined : i;
        }
        case CONTROL.CHECKBOX: {
            const members = group(el, "checkbox");
            if (members.length === 1) return members[0].checked;
            let mask = 0;
            members.forEach((c, i) => { if (c.checked) mask |= 1 << i; });
            return mask;
        }
        case CONTROL.HTMLAREA:
            return el.innerHTML;
        case CONTROL.SELECT_MULTIPLE:
            return Array.from(el.selectedOptions).map((o) => o.value);
        default:
            return el.value;
        }
    }

    function valueText(v) {
        if (v === undefined || v === null) return "";
        if (typeof v === "object") return JSON.stringify(v);
        return String(v);
    }

    function setControlValue(el, v) {
        const b = behaviourOf(el);
        if (b && b.setValue) { b.setValue(el, v); return; }
        switch (controlType(el)) {
        case CONTROL.NONE: case CONTROL.UNKNOWN: case CONTROL.BUTTON: case CONTROL.HYPERLINK:
            return;
        case CONTROL.RADIO: {
            const members = group(el, "radio");
            const i = Number.isInteger(v) ? v : 0;
            if (i >= 0 && i < members.length) members[i].checked = true;
            return;
        }
        case CONTROL.CHECKBOX: {
            const members = group(el, "checkbox");
            let mask = Number.isInteger(v) ? v : (typeof v === "boolean" ? (v ? 1 : 0) : 0);
            if (members.length === 1) mask = mask ? 1 : 0;
            members.forEach((c, i) => { c.checked = (mask & (1 << i)) !== 0; });
            return;
        }
        case CONTROL.HTMLAREA: {
            const text = valueText(v);
            if (text === "") el.textContent = ""; else el.innerHTML = text;
            return;
        }
        default:
            el.value = valueText(v);
        }
    }

    function optionsOf(el) {
        let list = null;
        if (el.localName === "select" || el.localName === "datalist") list = el;
        else if (el.localName === "input" && el.list) list = el.list;
        else list = el.querySelector("popup, datalist, select");
        if (!list) return null;
        return Array.from(list.querySelectorAll("option"))
            .map((o) => o.hasAttribute("value") ? o.getAttribute("value") : o.textContent);
    }

    // --- snapshot -------------------------------------------------------------

    function attributesOf(el) {
        const out = {};
        for (const a of el.attributes) out[a.name] = a.value;
        return out;
    }

    function collectValues() {
        const values = {};
        for (const el of document.querySelectorAll("[name]")) {
            const name = el.getAttribute("name");
            if (Object.prototype.hasOwnProperty.call(values, name)) continue;
            if (controlType(el) === CONTROL.NONE) continue;
            if (el.getAttribute("data-snapshot") === "none") continue;
            values[name] = getControlValue(el);
        }
        return values;
    }

    function describeElement(el) {
        const level = el.getAttribute("data-snapshot");
        const d = {
            tag: el.localName, type: controlType(el), attrs: attributesOf(el),
            checked: !!el.checked, focused: document.activeElement === el,
        };
        if (level === "value") d.value = getControlValue(el);
        if (level !== "none" && level !== "value") {
            d.html = el.innerHTML;
            d.text = el.textContent;
            d.value = getControlValue(el);
            const options = optionsOf(el);
            if (options) d.options = options;
        }
        return d;
    }

    function measure() {
        const root = document.documentElement;
        const body = document.body;
        if (!body) return { w: 0, h: 0 };
        const old = root.style.width;
        root.style.width = "max-content";
        const cs = getComputedStyle(body);
        const margins = (a, b) => (parseFloat(cs[a]) || 0) + (parseFloat(cs[b]) || 0);
        const w = Math.ceil(body.getBoundingClientRect().width + margins("marginLeft", "marginRight"));
        root.style.width = w + "px";
        const h = Math.ceil(body.getBoundingClientRect().height + margins("marginTop", "marginBottom"));
        root.style.width = old;
        return { w, h };
    }

    function snapshot() {
        const elements = {};
        for (const el of document.querySelectorAll("[id]")) {
            if (!Object.prototype.hasOwnProperty.call(elements, el.id))
                elements[el.id] = describeElement(el);
        }
        const f = document.activeElement;
        const focus = f && f !== document.body
            ? { id: f.id || "", name: f.getAttribute("name") || "", tag: f.localName } : null;
        return {
            title: document.title, size: lastSize, focus, values: collectValues(), elements,
            behaviours: states,
        };
    }

    function describeEvent(code, el, value, behaviour) {
        const e = { code, behaviour, value, context: orvan.context };
        if (el && el.nodeType === 1) {
            e.id = el.id || "";
            e.name = el.getAttribute("name") || "";
            e.tag = el.localName;
            e.type = controlType(el);
            e.attrs = attributesOf(el);
            if (el.localName === "a" && el.hasAttribute("href")) e.url = el.href;
        }
        return e;
    }

    function schedule() {
        if (scheduled || !bridge) return;
        scheduled = true;
        queueMicrotask(push);
    }

    function push() {
        scheduled = false;
        if (!bridge) return;
        const message = { generation, seq: lastSeq, state: snapshot(), results, events };
        results = [];
        events = [];
        bridge.post(JSON.stringify(encode(message)));
    }

    // --- calls from C++ ---------------------------------------------------------

    function first(selector) {
        try { return selector ? document.querySelector(selector) : document.documentElement; }
        catch (e) { return null; }
    }

    function listOf(el) {
        if (el.localName === "input" && el.list) return el.list;
        return el.querySelector("popup, datalist, select") || el;
    }

    const ops = {
        ping() {},
        // Answers once the page has seen and handled count key presses.
        keysSeen(_el, count) { return keysSeen(count); },
        measure() { lastSize = measure(); return lastSize; },
        setOption(_el, name, v) { orvan.options[name] = v; },
        setValues(_el, values) {
            for (const name of Object.keys(values || {})) {
                const el = document.querySelector("[name='" + CSS.escape(name) + "']");
                if (el && controlType(el) !== CONTROL.NONE) setControlValue(el, values[name]);
            }
        },
        setControlValue(el, v) { if (el) setControlValue(el, v); },
        callMethod(el, method, ...args) {
            const b = behaviourOf(el);
            if (b && b.methods && typeof b.methods[method] === "function")
                return b.methods[method].call(b, el, ...args);
            if (el && method === "click") { el.click(); return true; }
            return undefined;
        },
        setAttribute(el, name, v) { if (el) el.setAttribute(name, valueText(v)); },
        removeAttribute(el, name) { if (el) el.removeAttribute(name); },
        setHtml(el, html) { if (el) el.innerHTML = valueText(html); },
        setText(el, text) { if (el) el.textContent = valueText(text); },
        setStyle(el, prop, v) { if (el) el.style.setProperty(prop, valueText(v)); },
        setChecked(el, on) { if (el) el.checked = !!on; },
        focus(el) { if (el) el.focus(); },
        click(el) { if (el) { el.click(); return true; } return false; },
        insertElement(el, tag, text, position) {
            if (!el) return false;
            const parent = el.localName === "select" || el.localName === "input" ? listOf(el) : el;
            const child = document.createElement(valueText(tag));
            child.textContent = valueText(text);
            const kids = parent.children;
            if (!Number.isInteger(position) || position < 0 || position >= kids.length)
                parent.appendChild(child);
            else
                parent.insertBefore(child, kids[position]);
            return true;
        },
        setTableBorders(_el, width) {
            for (const t of document.querySelectorAll("table")) {
                t.style.setProperty("border", width + "px");
                t.style.setProperty("border-width", width + "px");
            }
        },
    };

    function answer(seq, value) {
        results.push({ seq, value });
        schedule();
    }

    function onCall(json) {
        const call = decode(JSON.parse(json));
        const el = first(call.selector);
        let result;
        try {
            const op = ops[call.op];
            result = op ? op(el, ...(call.args || [])) : undefined;
        } catch (e) {
            console.error("orvan call " + call.op + ": " + e);
            result = undefined;
        }
        lastSeq = call.seq;
        if (result && typeof result.then === "function") {
            result.then((v) => answer(call.seq, v), (e) => {
                console.error("orvan call " + call.op + ": " + e);
                answer(call.seq, undefined);
            });
            return;
        }
        answer(call.seq, result);
    }

    // --- DOM events -----------------------------------------------------------

    function closestLink(node) {
        for (let n = node; n && n.nodeType === 1; n = n.parentElement)
            if (n.localName === "a" && n.hasAttribute("href")) return n;
        return null;
    }

    function insideEditable(node) {
        for (let n = node; n && n.nodeType === 1; n = n.parentElement)
            if (isEditable(n) || behaviourOf(n)) return true;
        return false;
    }

    function controlAncestor(node) {
        for (let n = node; n && n.nodeType === 1; n = n.parentElement) {
            const t = controlType(n);
            if (t !== CONTROL.NONE) return n;
        }
        return null;
    }

    document.addEventListener("click", (ev) => {
        const link = closestLink(ev.target);
        if (link) {
            // Links never navigate the page; C++ decides where they go.
            ev.preventDefault();
            if (insideEditable(link) && !(ev.ctrlKey || ev.metaKey)) return;
            let url = "";
            try { url = new URL(link.getAttribute("href"), document.baseURI); } catch (e) { url = null; }
            if (url && EXTERNAL_SCHEMES.includes(url.protocol))
                orvan.raise(EVENT.HYPERLINK_CLICK, link, link.getAttribute("href"));
            return;
        }
        const el = controlAncestor(ev.target);
        if (!el) return;
        const type = controlType(el);
        if (type === CONTROL.BUTTON) {
            ev.preventDefault();
            orvan.raise(EVENT.BUTTON_CLICK, el, getControlValue(el));
        }
    }, true);

    document.addEventListener("submit", (ev) => ev.preventDefault(), true);

    document.addEventListener("input", (ev) => {
        const el = controlAncestor(ev.target);
        if (!el || behaviourOf(el)) { orvan.changed(); return; }
        const type = controlType(el);
        if (type === CONTROL.CHECKBOX || type === CONTROL.RADIO) return;
        if (type === CONTROL.SELECT || type === CONTROL.SELECT_MULTIPLE) return;
        orvan.raise(EVENT.EDIT_VALUE_CHANGED, el, getControlValue(el));
    }, true);

    document.addEventListener("change", (ev) => {
        const el = controlAncestor(ev.target);
        if (!el) return;
        const type = controlType(el);
        if (type === CONTROL.CHECKBOX || type === CONTROL.RADIO)
            orvan.raise(EVENT.BUTTON_STATE_CHANGED, el, getControlValue(el));
        else if (type === CONTROL.SELECT || type === CONTROL.SELECT_MULTIPLE)
            orvan.raise(EVENT.SELECTION_CHANGED, el, getControlValue(el));
    }, true);

    for (const name of ["focusin", "focusout", "selectionchange"])
        document.addEventListener(name, () => orvan.changed(), true);

    document.addEventListener("keydown", (ev) => {
        if (ev.defaultPrevented || ev.isComposing) return;
        let role = null;
        if (ev.key === "Enter" && !ev.shiftKey && !ev.ctrlKey && !ev.altKey) {
            const t = ev.target;
            if (t && (t.localName === "textarea" || t.localName === "button"
                      || insideEditable(t)))
                return;
            role = "default-button";
        } else if (ev.key === "Escape") {
            role = "cancel-button";
        }
        if (!role) return;
        const button = document.querySelector("[role='" + role + "']");
        if (!button) return;
        ev.preventDefault();
        button.click();
    }, true);

    document.addEventListener("mousedown", (ev) => {
        if (ev.button !== 0 || !orvan.options.movable) return;
        const t = ev.target;
        if (!t || t.nodeType !== 1 || controlAncestor(t) || insideEditable(t)) return;
        if (t.closest("label, select, option, datalist")) return;
        ev.preventDefault();
        orvan.raise(EVENT.BACKGROUND_PRESS, t);
    }, true);

    // No drag and drop of links or images out of (or into) a dialog page.
    document.addEventListener("dragstart", (ev) => {
        if (!insideEditable(ev.target)) ev.preventDefault();
    }, true);

    // --- start ----------------------------------------------------------------

    countKeys(document);

    function attachBehaviours() {
        for (const el of document.querySelectorAll("[data-behaviour]")) {
            const b = behaviourOf(el);
            if (b && typeof b.attach === "function") {
                try { b.attach(el); } catch (e) { console.error("orvan attach: " + e); }
            }
        }
    }

    function start() {
        attachBehaviours();
        new QWebChannel(qt.webChannelTransport, (channel) => {
            bridge = channel.objects.htmlBridge;
            generation = bridge.generation;
            bridge.deliver.connect(onCall);
            schedule();
        });
    }

    if (document.readyState === "loading")
        document.addEventListener("DOMContentLoaded", start);
    else
        start();
})();
