# Packages made by cpack from the install rules, into <build>/packages: from the deb preset's
# build two Debian packages (cmdwrap with the program and its manual page, libortolib-dev with
# the library for developers; their own files in debian.cmake), for Windows one zip archive
# that holds everything.
set(CPACK_PACKAGE_NAME cmdwrap)
set(CPACK_PACKAGE_VENDOR "The cmdwrap authors")
# A project address, not a person's: the packages' maintainer and upstream contact.
set(CPACK_PACKAGE_CONTACT "cmdwrap maintainers <cmdwrap@example.org>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The values below reach cpack as they stand: the descriptions hold line ends.
set(CPACK_VERBATIM_VARIABLES ON)

# The Debian packages come from the build laid out for them (the deb preset); another native
# build packs its install tree into a plain archive.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
elseif(ORTO_DEBIAN_LAYOUT)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR TGZ)
endif()

# Debian: one package per component, named the Debian way (cmdwrap_1.0.0-1_amd64.deb).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME cmdwrap)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"runs a program with arguments from a file and returns its output there
cmdwrap <executable> <argument-file> starts the executable with each non-empty
line of the argument file as one argument, collects everything the program
writes to standard output and standard error, writes that text back over the
argument file and exits with the program's exit code. A program killed by a
signal is reported with a note in the file and the exit status 255.

The same protocol is served by the Windows build, byte for byte, so that a
caller can drive both platforms alike.")
# The C++ runtime is linked statically: the C library is the only shared dependency. cpack
# computes it with dpkg-shlibdeps, which it runs on the files that `file` calls executables.
find_program(ORTO_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(ORTO_FILE_COMMAND file)
mark_as_advanced(ORTO_DPKG_SHLIBDEPS ORTO_FILE_COMMAND)
if(ORTO_DPKG_SHLIBDEPS AND ORTO_FILE_COMMAND)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS libc6)
endif()

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libortolib-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"portable C++20 support library of cmdwrap (static library and headers)
ortolib, namespace pt: copy-on-write strings, variants, lists, counted
components, buffered streams over files, pipes and memory, the standard
streams, a formatting engine, threads and processing units, over one narrow
platform layer for POSIX and Windows.

This package holds the static library, its headers, a CMake package
(find_package(ortolib) and target_link_libraries(app ortolib::ortolib)) and a
pkg-config file (pkg-config --cflags --libs ortolib).")

if(ORTO_DEBIAN_LAYOUT)
  include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
endif()

include(CPack)
