// A plug-in module with one thing wrong in its record, chosen by a compile definition;
// the host must refuse each of them.
#include <pluginsdk/plugin.h>

#include <cstdint>

#define MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {
MODULE_EXPORT std::uintptr_t getPlugin() { return 0; }
MODULE_EXPORT void deleteMe() {}

#if !defined(BAD_NO_EXPORTS)
#if !defined(BAD_REVISION)
#define BAD_REVISION 95
#endif
#if !defined(BAD_REVISION_HIGH)
#define BAD_REVISION_HIGH 0
#endif
#if !defined(BAD_TYPE)
#define BAD_TYPE 0
#endif
#if !defined(BAD_CLASS_NAME)
#define BAD_CLASS_NAME "BadModule"
#endif
#if defined(BAD_NULL_DELETE_ME)
#define DELETE_ME nullptr
#else
#define DELETE_ME &deleteMe
#endif

MODULE_EXPORT extern const PluginInfo exports;
const PluginInfo exports = {
    BAD_REVISION, BAD_REVISION_HIGH, __FILE__, BAD_CLASS_NAME, "Bad Module", "1.0", BAD_TYPE, &getPlugin, DELETE_ME,
};
#endif
}
