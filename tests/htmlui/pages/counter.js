// A behaviour for the tests: counts, publishes, answers methods.
"use strict";
orvan.behaviours["counter"] = {
    controlType: 11,
    attach(el) { el.dataset.count = "0"; orvan.publish("counter", { count: 0, attached: true }); },
    methods: {
        add(el, n) {
            const count = Number(el.dataset.count) + (Number.isInteger(n) ? n : 1);
            el.dataset.count = String(count);
            orvan.publish("counter", { count: count, attached: true });
            orvan.raise(orvan.EVENT.UI_STATE_CHANGED, el, "count " + count, "counter");
            return count;
        },
        echo(el, ...args) { return args; },
        nothing(el) { return undefined; },
    },
};
