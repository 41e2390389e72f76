// The whole SDK as a plug-in sees it.
#pragma once

#include "backend.h"
#include "plugin.h"
#include "types.h"
#include "wrappers.h"
