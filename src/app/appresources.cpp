#include "app/appresources.h"

#include <QtGlobal>

static void initOrvanAppQrc() {
    Q_INIT_RESOURCE(orvanapp);
}

void InitAppResources() {
    initOrvanAppQrc();
}
