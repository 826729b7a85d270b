// The link and author fields of the face: an editable text field with a list
// of choices that collects every text offered to it.
"use strict";

(function () {
    const orvan = window.orvan;

    function mark(el, on, attr) {
        if (on) el.setAttribute(attr, ""); else el.removeAttribute(attr);
    }

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
                orvan.changed();
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
