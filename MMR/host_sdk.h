// The one header through which the plug-in sees its host's SDK. Point it at another SDK
// here and nowhere else.
#pragma once

#include <pluginsdk/pluginsdk.h>
