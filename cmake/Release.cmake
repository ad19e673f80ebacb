# The download: the exe, LIESMICH.txt and LICENSE in ZomaOvaroOrdnerSetzen-<version>-win64.zip,
# made by CPack (scripts/release.sh). Names and version are those of the version record.
set(release_texts ${CMAKE_BINARY_DIR}/release)
# Windows line ends, so that every editor shows the texts as written.
configure_file(${CMAKE_SOURCE_DIR}/release/LIESMICH.txt.in ${release_texts}/LIESMICH.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${release_texts}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

# Fixed permissions: the zip records them, and they must not follow the builder's umask.
install(TARGETS ZomaOvaroOrdnerSetzen RUNTIME DESTINATION .
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(FILES ${release_texts}/LIESMICH.txt ${release_texts}/LICENSE.txt DESTINATION .
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The ${PROJECT_NAME} authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${OVARO_PRODUCT_NAME})
set(CPACK_PACKAGE_VERSION ${OVARO_VERSION_TEXT})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${OVARO_VERSION_TEXT}-win64)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
# The zip unpacks into one folder of its name.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only what the release needs is built before packaging, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
# Staged files carry their build times; they get SOURCE_DATE_EPOCH before zipping.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/ReleaseFixedTimes.cmake)
include(CPack)
