// The undo stack of the post editor face: snapshots of the body or the title
// taken before each change made through the face, with runs of typing joined
// into one step.
"use strict";

window.orvanUndoStack = function (ctx) {
    const { body, title, saveSelection, restoreSelection, changed } = ctx;
    const LIMIT = 300;
    // Characters of HTML all steps together may hold.
    const BUDGET = 32 * 1024 * 1024;
    // Typing within this many milliseconds of the last keystroke joins one undo step.
    const TYPING_JOIN_MS = 1500;
    const done = [];
    let undone = [];
    let kind = null;
    let time = 0;

    function stateOf(root) {
        return { root: root === body ? "body" : "title", html: root.innerHTML,
                 selection: saveSelection(root) };
    }

    // Remembers the state before a change; typing runs join into one step.
    function record(root, changeKind) {
        const now = Date.now();
        const name = root === body ? "body" : "title";
        if (changeKind && changeKind === kind && now - time < TYPING_JOIN_MS
            && done.length && done[done.length - 1].root === name) {
            time = now;
            return;
        }
        done.push(stateOf(root));
        // Each step holds a whole copy: a long post keeps fewer of them.
        let size = 0;
        for (const step of done) size += step.html.length;
        while (done.length > 1 && (done.length > LIMIT || size > BUDGET)) size -= done.shift().html.length;
        undone = [];
        kind = changeKind || null;
        time = now;
    }

    function breakTyping() { kind = null; }

    function reset() {
        done.length = 0;
        undone = [];
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

    return {
        record,
        breakTyping,
        reset,
        undo: () => travel(done, undone),
        redo: () => travel(undone, done),
        canUndo: () => done.length > 0,
        canRedo: () => undone.length > 0,
    };
};
