# The Debian packages' own files, for the build of the deb preset (ORTO_DEBIAN_LAYOUT): the
# copyright file made from LICENSE, a Debian changelog made from the version, the manual page
# and the upstream changelog compressed under the names Debian gives them, the program and the
# static library stripped, and dependencies that name real packages.
if(WIN32)
  message(FATAL_ERROR "ORTO_DEBIAN_LAYOUT is for the native Linux build")
endif()
find_program(ORTO_GZIP gzip REQUIRED)
find_program(ORTO_DATE date REQUIRED)
mark_as_advanced(ORTO_GZIP ORTO_DATE)
set(ORTO_DEBIAN_DIR ${ORTO_GENERATED_DIR}/debian)
set(ORTO_DEBIAN_PACKAGES ${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} ${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME})
set(ORTO_DEBIAN_COMPONENTS runtime development)

# Both packages come from one source, the project.
set(CPACK_DEBIAN_PACKAGE_SOURCE ${PROJECT_NAME})

# The program is installed stripped, as a copy made here; the build's own cmdwrap keeps its
# debug information (the deb preset compiles with -g). That information is also kept apart in
# generated/debian/cmdwrap.debug, which the stripped program names (a GNU debug link) and
# whose build id it shares: a debugger finds it beside the program, under
# /usr/lib/debug/usr/bin/, or named by its build id under /usr/lib/debug/.build-id/.
add_custom_command(OUTPUT ${ORTO_DEBIAN_DIR}/cmdwrap ${ORTO_DEBIAN_DIR}/cmdwrap.debug
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:cmdwrap> ${ORTO_DEBIAN_DIR}/cmdwrap.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-unneeded --remove-section=.comment
    --add-gnu-debuglink=${ORTO_DEBIAN_DIR}/cmdwrap.debug $<TARGET_FILE:cmdwrap> ${ORTO_DEBIAN_DIR}/cmdwrap
  DEPENDS cmdwrap VERBATIM)
install(PROGRAMS ${ORTO_DEBIAN_DIR}/cmdwrap DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# The headers need the development files of the C++ library the static library was built
# against. libstdc++-dev alone is virtual: the compiler's own version (the folder that holds
# its libstdc++, /usr/lib/gcc/<triplet>/<version>/) names the real package, and any other
# version may stand in for it.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
  OUTPUT_VARIABLE ORTO_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(NOT ORTO_LIBSTDCXX MATCHES "/gcc/[^/]+/([0-9]+)/libstdc\\+\\+\\.so$")
  message(FATAL_ERROR "cannot tell which libstdc++ the compiler uses: ${ORTO_LIBSTDCXX}")
endif()
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "libc6-dev, libstdc++-${CMAKE_MATCH_1}-dev | libstdc++-dev")

# The copyright file, in Debian's machine-readable form: the holder from LICENSE's copyright
# line, and the license's text after it as the paragraph of the license "Expat" (Debian's name
# for this MIT text), a space before every line and " ." for an empty one.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE ORTO_LICENSE)
if(NOT ORTO_LICENSE MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
  message(FATAL_ERROR "LICENSE has no copyright line followed by the license's text")
endif()
set(ORTO_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" ORTO_LICENSE_TEXT "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " ORTO_LICENSE_TEXT " ${ORTO_LICENSE_TEXT}")
file(CONFIGURE OUTPUT ${ORTO_DEBIAN_DIR}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: @PROJECT_NAME@
Upstream-Contact: @CPACK_PACKAGE_CONTACT@

Files: *
Copyright: @ORTO_COPYRIGHT_HOLDER@
License: Expat
@ORTO_LICENSE_TEXT@
")

# The Debian changelog: one entry for this version and revision, dated the day the version was
# released, so that the same sources give the same file. GNU date writes the date in the form
# a changelog's trailer has (RFC 5322).
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${ORTO_DATE} -u -R -d ${ORTO_RELEASE_DATE}
  OUTPUT_VARIABLE ORTO_DEBIAN_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
file(CONFIGURE OUTPUT ${ORTO_DEBIAN_DIR}/changelog.Debian @ONLY CONTENT
"@PROJECT_NAME@ (@PROJECT_VERSION@-@CPACK_DEBIAN_PACKAGE_RELEASE@) unstable; urgency=medium

  * Version @PROJECT_VERSION@, packaged from the project's own sources; what it brings
    is in changelog.gz.

 -- @CPACK_PACKAGE_CONTACT@  @ORTO_DEBIAN_CHANGELOG_DATE@
")

# Lintian asks the first entry of a changelog to close the bug that announced the packaging
# (an ITP); these packages are the project's own, not uploaded to Debian, and there is none.
file(WRITE ${ORTO_DEBIAN_DIR}/lintian-overrides
"# Built by the project for its users, not uploaded to Debian: there is no ITP bug to close.
initial-upload-closes-no-bugs
")

# gzip -9n: the best compression, and neither the file's name nor its time in the header, so
# that every build of the same sources gives the same bytes.
set(ORTO_DEBIAN_COMPRESSED "")
function(orto_debian_compress source output)
  add_custom_command(OUTPUT ${ORTO_DEBIAN_DIR}/${output}
    COMMAND ${ORTO_GZIP} -9n -c ${source} > ${ORTO_DEBIAN_DIR}/${output}
    DEPENDS ${source} VERBATIM)
  set(ORTO_DEBIAN_COMPRESSED ${ORTO_DEBIAN_COMPRESSED} ${ORTO_DEBIAN_DIR}/${output} PARENT_SCOPE)
endfunction()
orto_debian_compress(${ORTO_GENERATED_DIR}/cmdwrap.1 cmdwrap.1.gz)
orto_debian_compress(${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog.gz)
orto_debian_compress(${ORTO_DEBIAN_DIR}/changelog.Debian changelog.Debian.gz)
add_custom_target(orto_debian_files ALL
  DEPENDS ${ORTO_DEBIAN_COMPRESSED} ${ORTO_DEBIAN_DIR}/cmdwrap ${ORTO_DEBIAN_DIR}/cmdwrap.debug)

install(FILES ${ORTO_DEBIAN_DIR}/cmdwrap.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
foreach(package component IN ZIP_LISTS ORTO_DEBIAN_PACKAGES ORTO_DEBIAN_COMPONENTS)
  install(FILES ${ORTO_DEBIAN_DIR}/copyright ${ORTO_DEBIAN_DIR}/changelog.Debian.gz
    ${ORTO_DEBIAN_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  install(FILES ${ORTO_DEBIAN_DIR}/lintian-overrides RENAME ${package}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${component})
endforeach()

# The static library as Debian ships one: no debug information (it is in cmdwrap-dbgsym for
# the program), no compiler notes, and the archive's members without time stamps or owners.
install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-debug --remove-section=.comment
    --remove-section=.note --enable-deterministic-archives
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:ortolib>\"
    COMMAND_ERROR_IS_FATAL ANY)"
  COMPONENT development)
