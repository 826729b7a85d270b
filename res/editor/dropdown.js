// The link and author fields of the face: an editable text field with a list
// of choices. A drop-down marked data-choices="host" asks the program for its
// choices each time it opens (one message however long the list), so a feed
// of any size costs nothing until the list is wanted, and draws only the
// choices the popup shows (a feed's links may be a hundred thousand).
"use strict";

(function () {
    const orvan = window.orvan;
    // The height of one choice in the popup, as face.css draws it.
    const ITEM_HEIGHT = 24;
    // Choices drawn beyond each edge of the popup, so scrolling shows no gap.
    const SPARE = 8;

    function mark(el, on, attr) {
        if (on === el.hasAttribute(attr)) return;
        if (on) el.setAttribute(attr, ""); else el.removeAttribute(attr);
    }

    function textOf(o) {
        return o.hasAttribute("value") ? o.getAttribute("value") : o.textContent;
    }

    function optionTexts(drop) {
        if (drop.choices) return drop.choices.slice();
        return Array.from(drop.querySelectorAll("popup > option"), textOf);
    }

    function showValue(drop, text) {
        drop.querySelector("input").value = text;
        if (drop.classList.contains("open")) markSelected(drop);
    }

    // Draws the choices the popup shows now, over a room as tall as all of them.
    function drawChoices(drop) {
        const popup = drop.querySelector("popup");
        const room = popup.querySelector(".choices");
        if (!room || !drop.choices) return;
        const value = drop.querySelector("input").value;
        const first = Math.max(0, Math.floor(popup.scrollTop / ITEM_HEIGHT) - SPARE);
        const last = Math.min(drop.choices.length,
                              first + Math.ceil(popup.clientHeight / ITEM_HEIGHT) + 2 * SPARE);
        const fragment = document.createDocumentFragment();
        for (let i = first; i < last; i++) {
            const o = document.createElement("option");
            o.textContent = drop.choices[i];
            o.style.top = i * ITEM_HEIGHT + "px";
            if (drop.choices[i] === value) o.setAttribute("selected", "");
            fragment.appendChild(o);
        }
        room.replaceChildren(fragment);
    }

    function markSelected(drop) {
        const text = drop.querySelector("input").value;
        if (drop.choices) {
            const popup = drop.querySelector("popup");
            const index = drop.choices.indexOf(text);
            if (index >= 0) {
                const top = index * ITEM_HEIGHT;
                if (top < popup.scrollTop || top + ITEM_HEIGHT > popup.scrollTop + popup.clientHeight)
                    popup.scrollTop = Math.max(0, top - popup.clientHeight / 2);
            }
            drawChoices(drop);
            return;
        }
        let shown = null;
        for (const o of drop.querySelectorAll("popup > option")) {
            const on = textOf(o) === text;
            mark(o, on, "selected");
            if (on && !shown) shown = o;
        }
        if (shown) shown.scrollIntoView({ block: "nearest" });
    }

    function closeAll(except) {
        for (const d of document.querySelectorAll(".select-dropdown.open")) if (d !== except) d.classList.remove("open");
    }

    function open(drop) {
        closeAll(drop);
        if (drop.getAttribute("data-choices") === "host") {
            // The program answers with setChoices, which opens the list.
            orvan.raise(orvan.EVENT_POPUP_REQUEST, drop, drop.querySelector("input").value, "dropdown");
            return;
        }
        drop.classList.add("open");
        markSelected(drop);
    }

    // The options the page was written with stay first; each text once.
    function setChoices(drop, texts) {
        if (!drop.builtIn) drop.builtIn = optionTexts(drop);
        const seen = new Set();
        const list = [];
        for (const text of drop.builtIn.concat(texts || [])) {
            const t = text === undefined || text === null ? "" : String(text);
            if (!t || seen.has(t)) continue;
            seen.add(t);
            list.push(t);
        }
        drop.choices = list;
        const room = document.createElement("div");
        room.className = "choices";
        room.style.height = list.length * ITEM_HEIGHT + "px";
        const popup = drop.querySelector("popup");
        popup.replaceChildren(room);
        popup.scrollTop = 0;
    }

    orvan.EVENT_POPUP_REQUEST = 7;

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
                if (ev.key === "ArrowDown" && ev.altKey) { open(drop); ev.preventDefault(); }
                else if (ev.key === "Escape") drop.classList.remove("open");
            });
            button.addEventListener("mousedown", (ev) => { ev.preventDefault(); input.focus(); });
            button.addEventListener("click", () => {
                if (drop.classList.contains("open")) drop.classList.remove("open"); else open(drop);
            });
            popup.addEventListener("mousedown", (ev) => ev.preventDefault());
            let drawing = false;
            popup.addEventListener("scroll", () => {
                if (drawing || !drop.choices) return;
                drawing = true;
                requestAnimationFrame(() => { drawing = false; drawChoices(drop); });
            });
            popup.addEventListener("click", (ev) => {
                const o = ev.target.closest("option");
                if (!o || input.readOnly) return;
                showValue(drop, textOf(o));
                drop.classList.remove("open");
                orvan.changed();
                orvan.raise(orvan.EVENT.SELECTION_CHANGED, drop, input.value, "dropdown");
            });
            input.addEventListener("blur", () => drop.classList.remove("open"));
        },
        getValue: (drop) => drop.querySelector("input").value,
        setValue: (drop, v) => showValue(drop, v === undefined || v === null ? "" : String(v)),
        methods: {
            // Shows the text; without a list asked of the program, it is also
            // offered when new. An empty text changes nothing.
            addChoice(drop, text) {
                text = text === undefined || text === null ? "" : String(text);
                if (!text) return false;
                if (drop.getAttribute("data-choices") !== "host" && !optionTexts(drop).includes(text)) {
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
            // The program's answer to a popup request: the whole list, then open.
            setChoices(drop, texts) {
                setChoices(drop, texts);
                drop.classList.add("open");
                markSelected(drop);
                return true;
            },
            options: (drop) => optionTexts(drop),
        },
    };
    // The text field inside a drop-down reports through the drop-down only.
    orvan.behaviours["dropdown-field"] = { controlType: orvan.CONTROL.EDIT };
})();
