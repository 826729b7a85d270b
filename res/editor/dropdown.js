// The link and author fields of the face: an editable text field with a list
// of choices. A drop-down marked data-choices="host" asks the program for its
// choices each time it opens (one message however long the list), so a feed
// of any size costs nothing until the list is wanted.
"use strict";

(function () {
    const orvan = window.orvan;

    function mark(el, on, attr) {
        if (on === el.hasAttribute(attr)) return;
        if (on) el.setAttribute(attr, ""); else el.removeAttribute(attr);
    }

    function textOf(o) {
        return o.hasAttribute("value") ? o.getAttribute("value") : o.textContent;
    }

    function optionTexts(drop) {
        return Array.from(drop.querySelectorAll("popup > option"), textOf);
    }

    function showValue(drop, text) {
        drop.querySelector("input").value = text;
        if (drop.classList.contains("open")) markSelected(drop);
    }

    function markSelected(drop) {
        const text = drop.querySelector("input").value;
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
        const fragment = document.createDocumentFragment();
        for (const text of drop.builtIn.concat(texts || [])) {
            const t = text === undefined || text === null ? "" : String(text);
            if (!t || seen.has(t)) continue;
            seen.add(t);
            const o = document.createElement("option");
            o.textContent = t;
            fragment.appendChild(o);
        }
        drop.querySelector("popup").replaceChildren(fragment);
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
