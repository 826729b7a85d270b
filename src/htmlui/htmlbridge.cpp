#include "htmlui/htmlbridge.h"
