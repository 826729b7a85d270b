#include "platform/previewbarvisible.h"

#include "platform/settingsfile.h"

#include <QMutex>

using namespace Qt::StringLiterals;

namespace {

QMutex g_mutex;
bool g_loaded = false;
int g_value = 1;

// Called with g_mutex held.
void EnsureLoaded() {
    if (g_loaded)
        return;
    g_value = 1;
    g_value = ReadProfileNumber(SettingsIniPath(), u"Settings"_s, u"PreviewBar"_s, g_value);
    g_loaded = true;
}

} // namespace

int PreviewBarVisible::Get() {
    const QMutexLocker lock(&g_mutex);
    EnsureLoaded();
    return g_value;
}

void PreviewBarVisible::Set(int value) {
    const QMutexLocker lock(&g_mutex);
    g_value = value;
    g_loaded = true;
}

bool PreviewBarVisible::Store() {
    int value;
    {
        const QMutexLocker lock(&g_mutex);
        EnsureLoaded();
        value = g_value;
    }
    return WriteProfileNumber(SettingsIniPath(), u"Settings"_s, u"PreviewBar"_s, value);
}

bool PreviewBarVisible::SetAndStore(int value) {
    Set(value);
    return Store();
}

void PreviewBarVisible::Reload() {
    const QMutexLocker lock(&g_mutex);
    g_loaded = false;
}
