// The application's start page, images and icon in qrc:/app/.
#pragma once

// A static library's resources are only linked in when someone calls this once.
void InitAppResources();
