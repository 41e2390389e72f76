# Run by CPack once it has made the archives (CPACK_POST_BUILD_SCRIPTS): writes SHA256SUMS
# into the package directory, beside them, one "HASH  NAME" line per archive, the format
# `sha256sum -c` checks. CPack moves the archives there after this script; the names here
# are still those of its staging directory, their contents already final.
set(sums "")
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
    file(SHA256 ${archive} hash)
    get_filename_component(name ${archive} NAME)
    string(APPEND sums "${hash}  ${name}\n")
endforeach()
if(sums STREQUAL "")
    message(FATAL_ERROR "package-checksums: CPack named no archive")
endif()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
message(STATUS "package-checksums: ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS written")
