# The Windows release archive: `cpack --preset windows` (or scripts/package.sh) after a
# build of the `windows` preset makes
#
#   package/vantrel-VERSION-windows-x64.zip   what a player downloads
#   package/SHA256SUMS                         its checksum, in sha256sum's format
#
# The archive has no folder around its files: Windows' "Extract All" already puts them
# in a folder named after the archive. Its files:
#
#   vantrel-report.exe             the rating history from the game's log
#   README.txt                     for players: what it does and how to start it
#   LICENSE.txt                    the project's licence
#   THIRD-PARTY-NOTICES.txt        the notices of the libraries built into the binaries
#   vantrel-host/                  the plug-in for this repository's own host, not the game's:
#     README.txt, vantrel-host.exe, libpluginsdk.dll, plugins/Vantrel.dll
#
# The binaries need no DLL beyond the system's (the C++ runtime is linked statically, see
# cmake/mingw-w64-x86_64.cmake).

# The texts get Windows line ends (and README.txt the version) on their way into the build
# directory, so that any editor shows them as written.
set(VANTREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VANTREL_PACKAGE_TEXTS ${CMAKE_BINARY_DIR}/package-texts)
configure_file(${VANTREL_PACKAGING_DIR}/README.txt ${VANTREL_PACKAGE_TEXTS}/README.txt
    @ONLY NEWLINE_STYLE CRLF)
configure_file(${VANTREL_PACKAGING_DIR}/THIRD-PARTY-NOTICES.txt
    ${VANTREL_PACKAGE_TEXTS}/THIRD-PARTY-NOTICES.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${VANTREL_PACKAGE_TEXTS}/LICENSE.txt
    @ONLY NEWLINE_STYLE CRLF)
configure_file(${VANTREL_PACKAGING_DIR}/vantrel-host/README.txt
    ${VANTREL_PACKAGE_TEXTS}/vantrel-host/README.txt @ONLY NEWLINE_STYLE CRLF)

install(TARGETS vantrel-report RUNTIME DESTINATION .)
install(FILES ${VANTREL_PACKAGE_TEXTS}/README.txt ${VANTREL_PACKAGE_TEXTS}/LICENSE.txt
    ${VANTREL_PACKAGE_TEXTS}/THIRD-PARTY-NOTICES.txt DESTINATION .)

if(VANTREL_BUILD_HOST)
    install(TARGETS vantrel-host RUNTIME DESTINATION vantrel-host)
    # The SDK's import library only a linker needs: not in the archive.
    install(TARGETS pluginsdk RUNTIME DESTINATION vantrel-host ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
    install(TARGETS Vantrel LIBRARY DESTINATION vantrel-host/plugins)
    install(FILES ${VANTREL_PACKAGE_TEXTS}/vantrel-host/README.txt DESTINATION vantrel-host)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME vantrel-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# The build keeps its symbol tables; the archive's binaries go without (half the size).
set(CPACK_STRIP_FILES ON)
# Writes SHA256SUMS beside the archive once it is made.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-checksums.cmake)
include(CPack)
