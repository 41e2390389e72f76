// The whole SDK as a plug-in sees it: base classes, wrapper values and value types. The
// interfaces a host implements are not part of it (pluginsdk/backend.h, host side only).
#pragma once

#include "plugin.h"
#include "types.h"
#include "wrappers.h"
