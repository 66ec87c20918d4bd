# The single-file sources, written into build/single/ by the default build:
# each a tool as one C++ file that a judging system compiles alone, made by
# cmake/SingleFile.cmake from the tool's main and the .cc files of the
# project's libraries it links, again whenever one of the files it reads
# changes. The checker comes in a flavour a system, the one it speaks when
# called without a system flag; the validator and the solver speak Kattis's.
# Included once the tools are defined.
find_package(Git QUIET)
set(tarnwick_git_index)
if(GIT_FOUND)
  # Made again at each commit, so that the commit each file names is current.
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} rev-parse --show-toplevel
                          --git-path index
                  OUTPUT_VARIABLE git_out RESULT_VARIABLE git_failed ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" git_out "${git_out}")
  if(NOT git_failed AND git_out MATCHES ";")
    list(GET git_out 0 git_top)
    list(GET git_out 1 git_index)
    file(REAL_PATH ${git_top} git_top)
    file(REAL_PATH ${PROJECT_SOURCE_DIR} git_source)
    file(REAL_PATH ${git_index} git_index BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
    if(git_top STREQUAL git_source AND EXISTS ${git_index})
      set(tarnwick_git_index ${git_index})
    endif()
  endif()
endif()

# Sets ${out} to the .cc files of `target` and of the project libraries it
# links, each once, its own first; paths below the source folder.
function(tarnwick_cc_files target out)
  set(files ${${out}})
  get_target_property(dir ${target} SOURCE_DIR)
  get_target_property(sources ${target} SOURCES)
  foreach(source ${sources})
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} NORMALIZE OUTPUT_VARIABLE path)
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR} ${path})
    list(APPEND files ${path})
  endforeach()
  get_target_property(libraries ${target} LINK_LIBRARIES)
  foreach(library ${libraries})
    if(library MATCHES "^tarnwick_" AND TARGET ${library})
      tarnwick_cc_files(${library} files)
    endif()
  endforeach()
  list(REMOVE_DUPLICATES files)
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Makes build/single/NAME.cc from `target`, speaking `system` by default.
function(tarnwick_single_file name target system)
  set(sources)
  tarnwick_cc_files(${target} sources)
  set(headers)
  foreach(source ${sources})
    get_filename_component(folder ${source} DIRECTORY)
    file(GLOB found CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
         ${PROJECT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND headers ${found})
  endforeach()
  list(REMOVE_DUPLICATES headers)
  list(JOIN sources "," sources_arg)
  list(JOIN headers "," headers_arg)
  set(output ${PROJECT_BINARY_DIR}/single/${name}.cc)
  list(TRANSFORM sources PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE source_paths)
  list(TRANSFORM headers PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE header_paths)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DSOURCES=${sources_arg} -DHEADERS=${headers_arg} -DVERSION=${PROJECT_VERSION}
            -DDEFAULT_SYSTEM=${system} -DGIT=${GIT_EXECUTABLE}
            -P ${PROJECT_SOURCE_DIR}/cmake/SingleFile.cmake
    DEPENDS ${source_paths} ${header_paths} ${PROJECT_SOURCE_DIR}/cmake/SingleFile.cmake
            ${tarnwick_git_index}
    COMMENT "Writing the single-file source single/${name}.cc"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY tarnwick_single_files ${output})
endfunction()

if(NOT TARGET tarnwick-checker)
  return()  # tools/ left out
endif()
foreach(system kattis testlib cms)
  tarnwick_single_file(tarnwick-checker-${system} tarnwick-checker ${system})
endforeach()
tarnwick_single_file(tarnwick-validate tarnwick-validate kattis)
tarnwick_single_file(tarnwick-solve tarnwick-solve kattis)
get_property(single_files GLOBAL PROPERTY tarnwick_single_files)
add_custom_target(tarnwick_single_files ALL DEPENDS ${single_files})

if(TARNWICK_TESTS)
  # No two files pasted into one single-file source give a name internal linkage twice.
  add_test(NAME SingleFile.NoNameTwice
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/single_names.sh ${PROJECT_BINARY_DIR}/single
            ${PROJECT_SOURCE_DIR})
endif()
if(TARNWICK_TESTS AND NOT TARNWICK_SANITIZE)
  # Each file compiles alone and judges as the built tool. The files are the
  # same under sanitizers: they are compiled in the plain build alone.
  add_test(NAME SingleFile.CompilesAloneAndJudgesAlike
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/single_file.sh ${PROJECT_BINARY_DIR}/single
            $<TARGET_FILE:tarnwick-checker> $<TARGET_FILE:tarnwick-validate>
            $<TARGET_FILE:tarnwick-solve> $<TARGET_FILE:tarnwick-gen>)
  # Started first: it is the longest test, compiling two files at a time.
  set_tests_properties(SingleFile.CompilesAloneAndJudgesAlike PROPERTIES SKIP_RETURN_CODE 77
                       COST 1000)
endif()
