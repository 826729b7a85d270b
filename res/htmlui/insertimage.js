// The Insert Image page: tells the dialog when the sample image has loaded
// (or failed to), so the window can be fitted to the page again.
"use strict";

document.addEventListener("DOMContentLoaded", () => {
    const sample = document.getElementById("img_sample");
    if (!sample) return;
    const changed = () => orvan.raise(orvan.EVENT.UI_STATE_CHANGED, sample, "sample");
    sample.addEventListener("load", changed);
    sample.addEventListener("error", changed);
});
