# The download: the exe, LIESMICH.txt, LICENSE and the .reg example in
# ZomaOvaroOrdnerSetzen-<version>-win64.zip, made by CPack, and the installer package
# (release/make-msi.sh); both by scripts/release.sh. Names and version are those of the
# version record.
set(release_texts ${CMAKE_BINARY_DIR}/release)
# Windows line ends, so that every editor shows the texts as written.
configure_file(${CMAKE_SOURCE_DIR}/release/LIESMICH.txt.in ${release_texts}/LIESMICH.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${release_texts}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/release/ZomaOvaroOrdnerSetzen.wxs.in ${release_texts}/ZomaOvaroOrdnerSetzen.wxs @ONLY)
# scripts/release.sh copies the exe here after the build and signs the copy when given a
# certificate, so that the zip and the package carry the same exe.
set(OVARO_RELEASE_EXE ${CMAKE_BINARY_DIR}/stage/ZomaOvaroOrdnerSetzen.exe)

# Fixed permissions: the zip records them, and they must not follow the builder's umask.
# One component per file, named as the file: CPack zips components in the order of their
# names, while the files of one component come in the order the file system lists them,
# which differs between machines.
install(PROGRAMS ${OVARO_RELEASE_EXE} DESTINATION . COMPONENT ZomaOvaroOrdnerSetzen.exe
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
foreach(text LIESMICH.txt LICENSE.txt)
  install(FILES ${release_texts}/${text} DESTINATION . COMPONENT ${text}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
# Already in UTF-16 with a byte-order mark, as reg import wants it for the letter ü.
install(FILES ${CMAKE_SOURCE_DIR}/release/Datenordner-Beispiel.reg DESTINATION . COMPONENT Datenordner-Beispiel.reg
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR ${OVARO_PUBLISHER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${OVARO_PRODUCT_NAME})
set(CPACK_PACKAGE_VERSION ${OVARO_VERSION_TEXT})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${OVARO_VERSION_TEXT}-win64)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
# The zip unpacks into one folder of its name.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Only what the release needs is built before packaging, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
# The zip's times are SOURCE_DATE_EPOCH when it is set (scripts/release.sh sets it).
include(CPack)
