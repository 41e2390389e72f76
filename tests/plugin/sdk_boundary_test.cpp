// The plug-in's one SDK header gives it wrappers and value types, and none of the
// interfaces the host implements: plug-in code cannot reach past the wrappers. Checked at
// compile time; this file includes nothing the plug-in does not.
#include <type_traits>

#include "host_sdk.h"

namespace pluginsdk {
class Backend;
class CanvasBackend;
}  // namespace pluginsdk

namespace {
template <class T, class = void>
constexpr bool kDefined = false;
template <class T>
constexpr bool kDefined<T, std::void_t<decltype(sizeof(T))>> = true;

static_assert(kDefined<CanvasWrapper> && kDefined<CVarManagerWrapper> && kDefined<BakkesModPlugin>);
static_assert(!kDefined<pluginsdk::Backend>, "host_sdk.h brings in the host's backend interface");
static_assert(!kDefined<pluginsdk::CanvasBackend>, "host_sdk.h brings in the host's canvas interface");
}  // namespace
