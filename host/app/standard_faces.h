// The faces this build of vantrel-host has: the Cairo game screen behind `snapshot` and the
// Dear ImGui settings window behind `settings` and the open menu. The program hands them to
// its Host; so do tests and tools that want the same pictures from an in-process Host.
#pragma once

#include "core/faces.h"

namespace vhost {

HostFaces StandardFaces();

}  // namespace vhost
