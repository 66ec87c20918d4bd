# Installing the judge, its instructor tools, their manual pages, the
# examples and the copyright file; packing all that as a Debian package with `cpack -G DEB`.
#
#   cmake --install build --prefix DIR      # DIR/bin, DIR/share/man/man1, ...
#   (cd build && cpack -G DEB)              # build/tarnwick_VERSION_ARCH.deb
include(GNUInstallDirs)

# The programs. The tools are defined in tools/, which may be left out.
install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(_tarnwick_pages tarnwick)
foreach(tool tarnwick-gen tarnwick-solve tarnwick-validate tarnwick-explain tarnwick-grade
        tarnwick-checker tarnwick-testset tarnwick-package)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND _tarnwick_pages ${tool})
  endif()
endforeach()
# The checker that speaks CMS's convention unasked, beside tarnwick-package,
# which puts it into CMS tasks (a static build's, see tarnwick-package(1)).
if(TARGET tarnwick-checker-cms)
  install(TARGETS tarnwick-checker-cms RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The manual pages, compressed the way Debian ships them (gzip -9n: no name or
# time stamp inside, so the same page always packs to the same bytes).
find_program(TARNWICK_GZIP gzip)
set(_tarnwick_installed_pages)
foreach(page ${_tarnwick_pages})
  set(_tarnwick_source ${CMAKE_CURRENT_SOURCE_DIR}/man/${page}.1)
  if(TARNWICK_GZIP)
    set(_tarnwick_packed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(
      OUTPUT ${_tarnwick_packed}
      COMMAND ${CMAKE_COMMAND} -E copy ${_tarnwick_source} ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1
      COMMAND ${TARNWICK_GZIP} -9nf ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1
      DEPENDS ${_tarnwick_source}
      COMMENT "Compressing the manual page ${page}(1)"
      VERBATIM)
    list(APPEND _tarnwick_installed_pages ${_tarnwick_packed})
  else()
    list(APPEND _tarnwick_installed_pages ${_tarnwick_source})
  endif()
endforeach()
add_custom_target(tarnwick_man ALL DEPENDS ${_tarnwick_installed_pages})
install(FILES ${_tarnwick_installed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A graph and two result files to try the judge on (see tarnwick(1), EXAMPLES),
# and the description of a class's tests (see tarnwick-testset(1), EXAMPLES).
install(FILES
  ${CMAKE_CURRENT_SOURCE_DIR}/examples/graph.txt
  ${CMAKE_CURRENT_SOURCE_DIR}/examples/result-right.txt
  ${CMAKE_CURRENT_SOURCE_DIR}/examples/result-wrong.txt
  ${CMAKE_CURRENT_SOURCE_DIR}/examples/class-tests.txt
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The example Kattis problem package the README points to, its scripts still runnable.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/examples/kattis
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples USE_SOURCE_PERMISSIONS)
# The right student program the README's class of programs builds.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/examples/programs/dijkstra.cc
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/programs)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README's pictures, at the paths its links name from its own folder.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/grade/class-report.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/grade)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/bench/speed.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/bench)

# The licence (LICENSE, MIT) as Debian wants it: a machine-readable copyright
# file in the documentation folder, its terms taken from LICENSE itself.
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE _tarnwick_license)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _tarnwick_match "${_tarnwick_license}")
set(TARNWICK_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${_tarnwick_license}" "Permission is hereby granted" _tarnwick_at)
string(SUBSTRING "${_tarnwick_license}" ${_tarnwick_at} -1 _tarnwick_terms)
string(STRIP "${_tarnwick_terms}" _tarnwick_terms)
# Continuation lines start with a space; an empty line is written " .".
string(REPLACE "\n\n" "\n.\n" _tarnwick_terms "${_tarnwick_terms}")
string(REPLACE "\n" "\n " TARNWICK_LICENSE_TERMS " ${_tarnwick_terms}")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/copyright.in
               ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(TARNWICK_MAINTAINER "Tarnwick developers <tarnwick@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarnwick developers")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT ${TARNWICK_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "judge for a shortest-path programming exercise")
# Continuation lines of the Debian description: CPack indents each one.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "tarnwick checks a student's answer to a single-source shortest-path"
  "exercise: it reads a weighted undirected graph, a result file holding one"
  "path per vertex and a source vertex, and prints Success, Empty file, or"
  "the first path whose weight is not the shortest distance."
  "The instructor tools tarnwick-gen and tarnwick-solve write random graphs"
  "and model answers, and tarnwick-testset a whole test folder from a short"
  "description; tarnwick-validate checks a test graph before an"
  "exercise, and tarnwick-explain shows an instructor why a verdict was given;"
  "tarnwick-grade judges a whole class against one graph, and"
  "tarnwick-checker plugs the judge into Kattis, DOMjudge and testlib-style"
  "judging systems.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARNWICK_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# Dependencies as dpkg-shlibdeps (dpkg-dev) finds them in the binaries;
# without it, the libraries every C++ program here links to.
find_program(TARNWICK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TARNWICK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

include(CPack)
