# What `cmake --install` puts where: cmdwrap and its manual page; the ortolib static library,
# its public headers, a CMake package, so that other projects can find_package(ortolib), and a
# pkg-config file for those that build otherwise.
include(CMakePackageConfigHelpers)

# The day this version was released, as in CHANGELOG.md; the manual page shows it.
set(ORTO_RELEASE_DATE 2026-12-08)

set(ORTO_INCLUDE_DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ortolib)
set(ORTO_INCLUDE_DIRECTORY ${CMAKE_INSTALL_INCLUDEDIR})
set(ORTO_PACKAGE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ortolib)

# The program, its manual page and its documents: the "runtime" component (the cmdwrap package).
# The Debian packages' build (ORTO_DEBIAN_LAYOUT) installs the program stripped, compresses and
# names the manual page and the changelog the Debian way and puts the license in the copyright
# file (cmake/debian.cmake).
configure_file(${PROJECT_SOURCE_DIR}/docs/cmdwrap.1.in ${ORTO_GENERATED_DIR}/cmdwrap.1 @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
if(NOT ORTO_DEBIAN_LAYOUT)
  install(TARGETS cmdwrap RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  install(FILES ${ORTO_GENERATED_DIR}/cmdwrap.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
  # The library may be installed without the program: it carries the license too.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ortolib COMPONENT development)
endif()

# The library for developers: the "development" component.
install(TARGETS ortolib ortolib_program EXPORT ortolib_targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${ORTO_PROGRAM_SOURCES}
  DESTINATION ${ORTO_PROGRAM_SOURCE_DESTINATION} COMPONENT development)

# The public headers, under the library's own name as they sit in the source tree: users and
# the library itself include "ortolib/core/string.h", so no header of a user's project can
# stand in for one of them. The headers are found when the build is configured, so new ones
# need no entry here. Of the platform layer the public headers of platform/ itself are
# installed (the OS types the other headers hold, the command-line rules, the exit-code rules,
# the error numbers, text encodings, files.h and the rest): its interface to the OS (private/)
# and the backends, with their own headers, stay inside the library.
file(GLOB_RECURSE ORTO_PUBLIC_HEADERS CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/library
  ${PROJECT_SOURCE_DIR}/library/ortolib/*.h)
list(FILTER ORTO_PUBLIC_HEADERS EXCLUDE REGEX "^ortolib/platform/(private|posix|win32)/")
foreach(header IN LISTS ORTO_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/library/${header}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder} COMPONENT development)
endforeach()
install(FILES ${ORTO_GENERATED_DIR}/ortolib/version.h
  DESTINATION ${ORTO_INCLUDE_DESTINATION} COMPONENT development)
# The library's overview goes with the library, among the documents of its package in the
# Debian layout; its examples are shown in it whole, so the page alone is enough.
if(ORTO_DEBIAN_LAYOUT)
  set(ORTO_LIBRARY_DOC_DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libortolib-dev)
else()
  set(ORTO_LIBRARY_DOC_DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ortolib)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/LIBRARY.md
  DESTINATION ${ORTO_LIBRARY_DOC_DESTINATION} COMPONENT development)

# The CMake package: targets ortolib::ortolib and ortolib::program, the version file, and the
# configuration that finds the library's own dependencies.
if(WIN32)
  set(ORTO_PACKAGE_DEPENDENCIES "")
else()
  set(ORTO_PACKAGE_DEPENDENCIES "find_dependency(Threads)")
endif()
install(EXPORT ortolib_targets NAMESPACE ortolib:: FILE ortolibTargets.cmake
  DESTINATION ${ORTO_PACKAGE_DESTINATION} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ortolibConfig.cmake.in
  ${ORTO_GENERATED_DIR}/ortolibConfig.cmake
  INSTALL_DESTINATION ${ORTO_PACKAGE_DESTINATION}
  PATH_VARS ORTO_INCLUDE_DIRECTORY)
# A newer minor version keeps what an older one offered; a new major version may not.
write_basic_package_version_file(${ORTO_GENERATED_DIR}/ortolibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${ORTO_GENERATED_DIR}/ortolibConfig.cmake
  ${ORTO_GENERATED_DIR}/ortolibConfigVersion.cmake
  DESTINATION ${ORTO_PACKAGE_DESTINATION} COMPONENT development)

# The pkg-config file, ortolib.pc, where Debian's pkg-config looks for a library of the
# libdir (lib/pkgconfig). The library is static, so its own needs (the thread library on
# POSIX) are in Libs, not Libs.private: every program that links it needs them.
set(ORTO_PKGCONFIG_DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ORTO_PC_PREFIX_FROM_PCFILEDIR /${ORTO_PKGCONFIG_DESTINATION} /)
string(REGEX REPLACE "/$" "" ORTO_PC_PREFIX_FROM_PCFILEDIR "${ORTO_PC_PREFIX_FROM_PCFILEDIR}")
if(WIN32)
  set(ORTO_PC_THREAD_FLAGS "")
else()
  set(ORTO_PC_THREAD_FLAGS " -pthread")
endif()
set(ORTO_PC_PROGRAM_SOURCES "")
foreach(source IN LISTS ORTO_PROGRAM_SOURCES)
  get_filename_component(source_name ${source} NAME)
  string(APPEND ORTO_PC_PROGRAM_SOURCES
    " \${prefix}/${ORTO_PROGRAM_SOURCE_DESTINATION}/${source_name}")
endforeach()
string(STRIP "${ORTO_PC_PROGRAM_SOURCES}" ORTO_PC_PROGRAM_SOURCES)
configure_file(${PROJECT_SOURCE_DIR}/cmake/ortolib.pc.in ${ORTO_GENERATED_DIR}/ortolib.pc @ONLY)
install(FILES ${ORTO_GENERATED_DIR}/ortolib.pc
  DESTINATION ${ORTO_PKGCONFIG_DESTINATION} COMPONENT development)
