# Makes a C++ table of the finished translations of a Qt Linguist file, for
# a program without Qt (orn10ctl) that shows the same texts:
#   cmake -DTS=<file.ts> -DOUT=<file.cpp> -DCONTEXTS=<ctx1,ctx2,...> -DNAME=<array> -P ts_table.cmake
# Each entry is {context, source, translation}; unfinished, vanished and
# obsolete messages are left out (the program then shows the source text).
# The file is the one lupdate writes: a <context> with its <name>, then
# <message> elements with <source> and <translation>, XML entities escaped.

cmake_minimum_required(VERSION 3.25)

foreach(var TS OUT CONTEXTS NAME)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ts_table.cmake: ${var} is not set")
  endif()
endforeach()
string(REPLACE "," ";" wanted "${CONTEXTS}")

file(READ "${TS}" ts)
# The text becomes a CMake list of contexts, and each context a list of
# messages: the characters that lists treat specially (the semicolons of the
# XML entities too) are kept as markers without them.
string(REPLACE "\\" "@BACKSLASH@" ts "${ts}")
string(REPLACE ";" "@SEMICOLON@" ts "${ts}")
string(REPLACE "[" "@OPEN@" ts "${ts}")
string(REPLACE "]" "@CLOSE@" ts "${ts}")
string(REPLACE "<context>" ";" contexts "${ts}")
list(POP_FRONT contexts)   # the header before the first context

# A C++ string literal of an XML text.
function(cpp_literal text out)
  string(REPLACE "@SEMICOLON@" ";" text "${text}")
  string(REPLACE "@OPEN@" "[" text "${text}")
  string(REPLACE "@CLOSE@" "]" text "${text}")
  string(REPLACE "@BACKSLASH@" "\\\\" text "${text}")
  string(REPLACE "&lt;" "<" text "${text}")
  string(REPLACE "&gt;" ">" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "&quot;" "\\\"" text "${text}")
  string(REPLACE "&apos;" "'" text "${text}")
  string(REPLACE "&amp;" "&" text "${text}")
  string(REPLACE "\n" "\\n\"\n        \"" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(entries "")
set(count 0)
foreach(context IN LISTS contexts)
  string(REGEX MATCH "<name>([^<]*)</name>" _ "${context}")
  set(name "${CMAKE_MATCH_1}")
  if(NOT name IN_LIST wanted)
    continue()
  endif()
  cpp_literal("${name}" name_literal)
  string(REPLACE "<message" ";" messages "${context}")
  list(POP_FRONT messages)
  foreach(message IN LISTS messages)
    if(NOT message MATCHES "<source>([^<]*)</source>")
      continue()
    endif()
    set(source "${CMAKE_MATCH_1}")
    if(NOT message MATCHES "<translation( type=\"[a-z]+\")?>([^<]*)</translation>")
      continue()   # numerus forms are not used
    endif()
    set(translation "${CMAKE_MATCH_2}")
    if(NOT "${CMAKE_MATCH_1}" STREQUAL "" OR "${translation}" STREQUAL "")
      continue()   # unfinished, vanished, obsolete or empty
    endif()
    cpp_literal("${source}" source_literal)
    cpp_literal("${translation}" translation_literal)
    string(APPEND entries "    {${name_literal},\n        ${source_literal},\n        ${translation_literal}},\n")
    math(EXPR count "${count} + 1")
  endforeach()
endforeach()

set(text "// Made from ${TS} by i18n/ts_table.cmake: not to be edited.
#include \"catalogue.h\"

namespace orn {

const TCatalogueEntry ${NAME}[] = {
${entries}    {nullptr, nullptr, nullptr},
};
const size_t ${NAME}Size = ${count};

} // namespace orn
")
# Written only when changed, so that a rebuild compiles nothing new.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${text}")
