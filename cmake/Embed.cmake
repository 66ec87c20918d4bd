# Writes a C++ source holding files' text as raw string literals, so that a
# program carries them with it (tarnwick-package, the single-file sources it
# puts in packages). Run at build time (package/CMakeLists.txt):
#
#   cmake -DOUTPUT=FILE -DFILES=NAME=PATH,... -P cmake/Embed.cmake
#
# The source defines tarnwick::embedded_file(NAME) (package/embedded.h).
cmake_minimum_required(VERSION 3.25)

foreach(required OUTPUT FILES)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "Embed.cmake: -D${required}=... is missing")
  endif()
endforeach()
string(REPLACE "," ";" files "${FILES}")
set(delimiter "tw_embedded")  # at most 16 characters
set(text "// Made by cmake/Embed.cmake at build time from the files it names: change\n")
string(APPEND text "// those, not this file.\n#include \"package/embedded.h\"\n\n")
string(APPEND text "namespace tarnwick {\nnamespace {\n\n")
set(table "")
set(index 0)
foreach(entry ${files})
  string(FIND "${entry}" "=" at)
  string(SUBSTRING "${entry}" 0 ${at} name)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${entry}" ${at} -1 path)
  file(READ "${path}" content)
  string(FIND "${content}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "Embed.cmake: ${path} holds the literal's closing delimiter")
  endif()
  string(APPEND text "// ${name}\nconstexpr char kFile${index}[] = R\"${delimiter}(${content})${delimiter}\";\n\n")
  string(APPEND table "    {\"${name}\", {kFile${index}, sizeof kFile${index} - 1}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "struct Embedded {\n  std::string_view name, text;\n};\n\n")
string(APPEND text "constexpr Embedded kFiles[] = {\n${table}};\n\n}  // namespace\n\n")
string(APPEND text "std::string_view embedded_file(std::string_view name) {\n")
string(APPEND text "  for (const Embedded& file : kFiles) {\n    if (file.name == name) return file.text;\n")
string(APPEND text "  }\n  return {};\n}\n\n}  // namespace tarnwick\n")
file(WRITE "${OUTPUT}.part" "${text}")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
