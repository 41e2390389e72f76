// Plain value types shared by the host and its plug-ins.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#  if defined(PLUGINSDK_BUILDING)
#    define PLUGINSDK_API __declspec(dllexport)
#  else
#    define PLUGINSDK_API __declspec(dllimport)
#  endif
#else
#  define PLUGINSDK_API __attribute__((visibility("default")))
#endif

namespace pluginsdk {
// Opaque reference to a host object. 0 never names a live object.
using Handle = std::uintptr_t;
}  // namespace pluginsdk

// Integer canvas position or size.
struct Vector2 {
    int X = 0;
    int Y = 0;
};

// Float canvas position.
struct Vector2F {
    float X = 0.0f;
    float Y = 0.0f;
};

// The host's rank record of one playlist: tier (row of a rank table), division (0 to 3)
// and a third value that the host fills but plug-ins have no use for.
struct SkillRank {
    int Tier = 0;
    int Division = 0;
    int MatchesPlayed = 0;
};
