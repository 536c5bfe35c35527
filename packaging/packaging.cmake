# What `cmake --install` installs and the release packages CPack makes from it;
# scripts/package.sh builds them into dist/:
#   Windows build: shotrenum-<version>-windows-x64.zip (the .exe, README-ja.txt, LICENSE)
#   Linux build:   shotrenum-<version>-linux-x86_64.tar.gz and shotrenum_<version>_amd64.deb
include(GNUInstallDirs)

# A text file as Notepad on a Japanese Windows 10 or 11 reads it without
# guessing: CR LF line ends and, with BOM, UTF-8 with a byte-order mark. The
# HTML comments of Markdown (notes for the maintainers) are left out.
function(shotrenum_windows_text source target)
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${source} text)
  string(REGEX REPLACE "<!--[^>]*-->\n" "" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  set(bom "")
  if("BOM" IN_LIST ARGN)
    string(ASCII 239 187 191 bom)
  endif()
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target} "${bom}${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

set(CPACK_PACKAGE_VENDOR "The shotrenum developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)

if(WIN32)
  shotrenum_windows_text(README.ja.md README-ja.txt BOM)
  shotrenum_windows_text(LICENSE LICENSE)
  install(TARGETS shotrenum RUNTIME DESTINATION .)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README-ja.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-x64)
  # Unpacked by Explorer into a folder of the zip's name already.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(TARGETS shotrenum RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md README.ja.md CHANGELOG.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-x86_64)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The shotrenum developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The extended description; CPack puts the summary above it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "shotrenum renames the screenshot files G0000000.pcx, G0000001.pcx, ... of
the folder it is started in so that their numbers follow the order they were
taken in (oldest last-write time first), without gaps. It never replaces a
file, and it logs every rename in two Shift_JIS CSV files. Its messages are
Japanese.")
endif()
include(CPack)
