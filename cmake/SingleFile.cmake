# Writes one tool as a single C++ file that compiles alone (the standard
# library is all it needs): the tool's main, then each .cc file of the
# libraries it links, every project header pasted whole at its first
# #include "..." and dropped at the later ones; #include <...> lines stay.
# Run at build time (tools/CMakeLists.txt):
#
#   cmake -DOUTPUT=FILE -DSOURCE_DIR=DIR -DSOURCES=main.cc,lib/a.cc,...
#         -DHEADERS=lib/a.h,... -DVERSION=V [-DDEFAULT_SYSTEM=kattis|testlib|cms]
#         [-DGIT=PATH] -P cmake/SingleFile.cmake
#
# SOURCES and HEADERS are paths below SOURCE_DIR, the main first; a header
# pasted must be among HEADERS, the files the build says this one depends on.
# DEFAULT_SYSTEM, defined as TARNWICK_DEFAULT_SYSTEM in the file, is the
# judging system it speaks when no flag or program name asks for one.
cmake_minimum_required(VERSION 3.25)

foreach(required OUTPUT SOURCE_DIR SOURCES HEADERS VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "SingleFile.cmake: -D${required}=... is missing")
  endif()
endforeach()
string(REPLACE "," ";" sources "${SOURCES}")
string(REPLACE "," ";" headers "${HEADERS}")
list(GET sources 0 main)
get_filename_component(name "${OUTPUT}" NAME)
set(body "${OUTPUT}.body")

# Appends FILE (a path below SOURCE_DIR) to the body, each project header it
# includes pasted in place the first time and dropped after.
function(paste file)
  if(NOT file IN_LIST sources AND NOT file IN_LIST headers)
    message(FATAL_ERROR "${name}: ${file} is included but is not among the files it "
                        "depends on: re-run cmake (a new header?)")
  endif()
  set_property(GLOBAL APPEND PROPERTY pasted "${file}")
  file(READ "${SOURCE_DIR}/${file}" rest)
  if(NOT rest MATCHES "\n$")
    string(APPEND rest "\n")
  endif()
  set(made "// ---- ${file} ----\n")
  # `rest` starts with the line end before it (or a made-up one), so that a
  # line that starts `#include "` is found as "\n#include \"".
  set(rest "\n${rest}")
  while(TRUE)
    string(FIND "${rest}" "\n#include \"" at)
    if(at EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${rest}" 1 ${at} before)
    string(APPEND made "${before}")
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${rest}" ${at} -1 rest)
    string(FIND "${rest}" "\n" end)
    string(SUBSTRING "${rest}" 0 ${end} line)
    string(SUBSTRING "${rest}" ${end} -1 rest)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    get_property(done GLOBAL PROPERTY pasted)
    if(NOT header IN_LIST done)
      file(APPEND "${body}" "${made}")
      set(made "")
      paste("${header}")
    endif()
  endwhile()
  string(SUBSTRING "${rest}" 1 -1 rest)
  file(APPEND "${body}" "${made}${rest}")
endfunction()

file(WRITE "${body}" "")
foreach(source ${sources})
  file(APPEND "${body}" "\n")
  paste("${source}")
endforeach()

# The commit the sources come from, when SOURCE_DIR is the top of a git
# checkout; and whether the files pasted differ from it.
set(commit unknown)
if(GIT)
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --show-toplevel HEAD
                  OUTPUT_VARIABLE git_out RESULT_VARIABLE git_failed ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" git_out "${git_out}")
  list(LENGTH git_out git_lines)
  if(NOT git_failed AND git_lines EQUAL 2)
    list(GET git_out 0 top)
    file(REAL_PATH "${SOURCE_DIR}" real_source)
    file(REAL_PATH "${top}" real_top)
    if(real_top STREQUAL real_source)
      list(GET git_out 1 commit)
      get_property(pasted GLOBAL PROPERTY pasted)
      execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" diff --quiet HEAD -- ${pasted}
                      RESULT_VARIABLE changed ERROR_QUIET)
      if(changed)
        string(APPEND commit ", with changes not yet committed")
      endif()
    endif()
  endif()
endif()

# What the file is, and what it speaks when called without a system.
set(speaks_kattis "an output validator of Kattis and DOMjudge (as with --kattis)")
set(speaks_testlib "a checker of testlib and Polygon (as with --testlib)")
set(speaks_cms "a checker of CMS (as with --cms)")
if(main STREQUAL "tools/checker.cc")
  set(tool tarnwick-checker)
  set(what "the checker of a judging system. Called with no system flag, it is\n"
           "// ${speaks_${DEFAULT_SYSTEM}}: a flag (--kattis, --testlib,\n"
           "// --cms) or a program name ending in -kattis, -testlib or -cms asks for another.")
elseif(main STREQUAL "tools/validate.cc")
  set(tool tarnwick-validate)
  set(what "the checker of test graphs as a problem package's input validator:\n"
           "// tarnwick-validate --kattis whatever its flags (the input on standard input,\n"
           "// exit 42 valid, 43 invalid), the package's input_validator_flags after it.")
elseif(main STREQUAL "tools/solve.cc")
  set(tool tarnwick-solve)
  set(what "the model solver. Given no operand, it reads a test input (the graph,\n"
           "// then the source after the m-th edge) on standard input, as a problem\n"
           "// package's accepted submission is run.")
else()
  message(FATAL_ERROR "${name}: no description for ${main}")
endif()
string(JOIN "" what ${what})

set(top "// ${name}: ${tool} ${VERSION}, of tarnwick, the judge of the
// single-source shortest-path exercise, as one self-contained C++20 file.
// It is ${what}
// Made from the sources of commit ${commit}.
//
// Compile it alone (no other file, no include path), with any of:
//   g++ -O2 -std=gnu++20 -pthread ${name} -o ${tool}
//   g++ -g -O2 -std=gnu++23 -static -o ${tool} ${name} -lrt -Wl,--whole-archive -lpthread -Wl,--no-whole-archive
//   g++ -Wall -O2 -std=gnu++20 ${name} -o run
//   clang++ -O2 -std=gnu++20 -pthread ${name} -o ${tool}
//
// Made by cmake/SingleFile.cmake at build time: change the sources, not this file.
#define TARNWICK_VERSION \"${VERSION}\"
")
if(DEFINED DEFAULT_SYSTEM)
  string(APPEND top "#define TARNWICK_DEFAULT_SYSTEM \"${DEFAULT_SYSTEM}\"\n")
endif()
file(READ "${body}" text)
file(WRITE "${OUTPUT}.part" "${top}${text}")
file(REMOVE "${body}")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
