# Read by cpack once per package kind: which install components each holds.
# Unspecified is the tool and its manual page; documents are the documents as
# they are, debian the .deb's own.
list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build_dir)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(components Unspecified debian)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(components Unspecified documents)
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS "")
foreach(component IN LISTS components)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build_dir} shotrenum ${component} /)
endforeach()
