// Whether new document frames show the HTML code preview: one value for the
// whole process, read from the settings file on first use and written back
// when the user shows or hides the bar.
#pragma once

class PreviewBarVisible final {
public:
    PreviewBarVisible() = delete;

    // Non-zero: shown. Loads on first use, 1 when the file or key is missing.
    static int Get();
    // Changes the value in memory only.
    static void Set(int value);
    // Writes the current value to "Settings" / "PreviewBar"; false when the
    // write failed, in which case the value in memory stays as set.
    static bool Store();
    static bool SetAndStore(int value);
    // Forgets the loaded value, so the next Get reads the file again as a new run would.
    static void Reload();
};
