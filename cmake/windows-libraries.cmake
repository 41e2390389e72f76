# Third-party libraries for the Windows cross build. On Linux they come from the system
# through pkg-config; the MinGW sysroot has neither, so scripts/bootstrap-windows.sh puts
# their sources under <build dir>/_deps and this file turns them into the same targets the
# rest of the build links against:
#   fmt::fmt-header-only  {fmt} used header-only (no library to cross-build); fmt::fmt too
#   PkgConfig::IMGUI      Dear ImGui compiled from source as a static library
set(VANTREL_WINDOWS_DEPS_DIR ${CMAKE_BINARY_DIR}/_deps CACHE PATH
    "Where scripts/bootstrap-windows.sh unpacked the sources of fmt and Dear ImGui")

foreach(required fmt/include/fmt/format.h imgui/imgui.cpp)
    if(NOT EXISTS ${VANTREL_WINDOWS_DEPS_DIR}/${required})
        message(FATAL_ERROR "${VANTREL_WINDOWS_DEPS_DIR}/${required} is missing: "
            "run scripts/bootstrap-windows.sh first")
    endif()
endforeach()

add_library(vantrel_fmt_header_only INTERFACE)
target_include_directories(vantrel_fmt_header_only SYSTEM INTERFACE ${VANTREL_WINDOWS_DEPS_DIR}/fmt/include)
target_compile_definitions(vantrel_fmt_header_only INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt-header-only ALIAS vantrel_fmt_header_only)
add_library(fmt::fmt ALIAS vantrel_fmt_header_only)

set(VANTREL_IMGUI_DIR ${VANTREL_WINDOWS_DEPS_DIR}/imgui)
add_library(vantrel_imgui STATIC
    ${VANTREL_IMGUI_DIR}/imgui.cpp
    ${VANTREL_IMGUI_DIR}/imgui_demo.cpp
    ${VANTREL_IMGUI_DIR}/imgui_draw.cpp
    ${VANTREL_IMGUI_DIR}/imgui_tables.cpp
    ${VANTREL_IMGUI_DIR}/imgui_widgets.cpp)
target_include_directories(vantrel_imgui SYSTEM PUBLIC ${VANTREL_IMGUI_DIR})
# The clipboard belongs to the host's window; without this, every module holding a copy of
# Dear ImGui would import USER32 for a clipboard it never uses. It must be defined the same
# way wherever imgui.h is included, hence PUBLIC.
target_compile_definitions(vantrel_imgui PUBLIC IMGUI_DISABLE_WIN32_DEFAULT_CLIPBOARD_FUNCTIONS)
# Third-party source, built as shipped: our warning flags are not its business.
target_compile_options(vantrel_imgui PRIVATE -w)
add_library(PkgConfig::IMGUI ALIAS vantrel_imgui)
