# What `cmake --install` installs and the release packages CPack makes from it;
# scripts/package.sh builds them into dist/:
#   Windows build: shotrenum-<version>-windows-x64.zip (the .exe, its copy shotrenum-preview.exe, README-ja.txt, LICENSE)
#   Linux build:   shotrenum-<version>-linux-x86_64.tar.gz and shotrenum_<version>_amd64.deb
include(GNUInstallDirs)
# Folders made by the install get the same mode whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A text file with CR LF line ends, as Windows programs (Notepad, cmd) read it.
function(shotrenum_windows_text source target)
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${source} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

set(CPACK_PACKAGE_VENDOR "The shotrenum developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)

if(WIN32)
  # The Japanese guide as plain text that Notepad shows well.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/guide_text.py
                          ${CMAKE_CURRENT_SOURCE_DIR}/README.ja.md ${CMAKE_CURRENT_BINARY_DIR}/README-ja.txt
                  COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS README.ja.md packaging/guide_text.py)
  shotrenum_windows_text(LICENSE LICENSE)
  install(TARGETS shotrenum RUNTIME DESTINATION .)
  # The preview's drop target: the same program, which previews when started
  # by this name, so that no command processor reads a dropped folder's name.
  install(PROGRAMS $<TARGET_FILE:shotrenum> DESTINATION . RENAME shotrenum-preview.exe)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README-ja.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-x64)
  # Unpacked by Explorer into a folder of the zip's name already.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  # The manual page and the Debian changelog compressed as Debian wants them:
  # gzip -9n (no name, no time in the header, so two builds agree).
  function(shotrenum_gzip source target)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}
      COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" gzip ${source} ${CMAKE_CURRENT_BINARY_DIR}/${target}
      DEPENDS ${source} VERBATIM)
  endfunction()
  shotrenum_gzip(${CMAKE_CURRENT_SOURCE_DIR}/docs/shotrenum.1 shotrenum.1.gz)

  # A native Debian package carries one changelog, in Debian's format:
  # CHANGELOG.md's releases, written as its entries.
  set(SHOTRENUM_MAINTAINER "The shotrenum developers <shotrenum@example.org>"
      CACHE STRING "Maintainer of the Debian package: name <address>")
  file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md release REGEX "^## \\[${PROJECT_VERSION}\\] - [0-9-]+$")
  if(NOT release)
    message(FATAL_ERROR "CHANGELOG.md has no entry \"## [${PROJECT_VERSION}] - YYYY-MM-DD\"")
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian_changelog.py
            ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md ${SHOTRENUM_MAINTAINER} ${CMAKE_CURRENT_BINARY_DIR}/changelog
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian_changelog.py
    VERBATIM)
  shotrenum_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog changelog.gz)

  # The documents: as they are in the tar.gz and an install; in the .deb,
  # each over 4 KiB gzipped, as Debian asks.
  set(SHOTRENUM_DEB_DOCS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  foreach(doc README.md README.ja.md)
    file(SIZE ${CMAKE_CURRENT_SOURCE_DIR}/${doc} size)
    if(size GREATER 4096)
      shotrenum_gzip(${CMAKE_CURRENT_SOURCE_DIR}/${doc} ${doc}.gz)
      list(APPEND SHOTRENUM_DEB_DOCS ${CMAKE_CURRENT_BINARY_DIR}/${doc}.gz)
      list(APPEND SHOTRENUM_GZIPPED_DOCS ${CMAKE_CURRENT_BINARY_DIR}/${doc}.gz)
    else()
      list(APPEND SHOTRENUM_DEB_DOCS ${CMAKE_CURRENT_SOURCE_DIR}/${doc})
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${doc})
  endforeach()

  # Built with the tool, so that building just the tool (scripts/package.sh)
  # leaves everything the install needs.
  add_custom_target(shotrenum_docs DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/shotrenum.1.gz
                    ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${SHOTRENUM_GZIPPED_DOCS})
  add_dependencies(shotrenum shotrenum_docs)
  # The compilers' version notes (.comment) have no use in a shipped program.
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    add_custom_command(TARGET shotrenum POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:shotrenum> VERBATIM)
  endif()

  install(TARGETS shotrenum RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/shotrenum.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The documents as they are in the tar.gz and an install; the .deb has the
  # license in Debian's copyright file instead, and the changes in Debian's
  # changelog.
  install(FILES README.md README.ja.md CHANGELOG.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documents)
  install(FILES ${SHOTRENUM_DEB_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/components.cmake)

  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-x86_64)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SHOTRENUM_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The extended description; CPack puts the summary above it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "shotrenum renames the screenshot files G0000000.pcx, G0000001.pcx, ... of
a folder so that their numbers follow the order they were taken in (oldest
last-write time first), without gaps. It never replaces a file, logs every
rename in two Shift_JIS CSV files, can preview a run and take a run back.
Its messages are Japanese.")
endif()
include(CPack)
