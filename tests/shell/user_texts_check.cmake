# Runs cmake/user_texts.cmake on small tables: a good one must give the string
# table, the texts and the keys as written; each bad one must be refused with
# its reason. cmake -DGENERATOR=... -DWORK=... -P user_texts_check.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/run.cmake "cmake_minimum_required(VERSION 3.20)
include(${GENERATOR})
dorvane_user_texts(\${TEXTS} \${OUT})
")

set(failures 0)
# run(NAME CONTENT RESULT_VAR ERROR_VAR)
function(run name content result_var error_var)
  file(WRITE ${WORK}/${name}.txt "${content}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DTEXTS=${WORK}/${name}.txt -DOUT=${WORK}/${name} -P ${WORK}/run.cmake
                  RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${error_var} "${error}" PARENT_SCOPE)
endfunction()
macro(fail)
  message(SEND_ERROR ${ARGN})
endmacro()

# A good table: a piece, a default that differs, a key that is not a text, a
# key shared by two texts, a text without a string-table id.
run(good [=[
# a comment
@Tail "\nGood bye."
First      1001  FirstKey  "One%s{Tail}"
Second     1002  FirstKey  "Two" "Zwei"
-             0  Colour
Plain         0  PlainKey  ""
]=] result error)
if(NOT result EQUAL 0)
  fail("good table refused: ${error}")
else()
  file(READ ${WORK}/good/user_texts.rc rc)
  file(READ ${WORK}/good/user_texts.h header)
  set(want_rc "STRINGTABLE\nBEGIN\n    1001 \"One%s\\nGood bye.\"\n    1002 \"Two\"\nEND\n")
  if(NOT rc STREQUAL want_rc)
    fail("string table:\n${rc}")
  endif()
  foreach(want
      [=[TextFirst = {1001, "FirstKey", "One%s\nGood bye."}]=]
      [=[TextSecond = {1002, "FirstKey", "Zwei"}]=]
      [=[TextPlain = {0, "PlainKey", ""}]=]
      [=[{1002, "Two"},]=])
    string(FIND "${header}" "${want}" at)
    if(at EQUAL -1)
      fail("header lacks ${want}:\n${header}")
    endif()
  endforeach()
  string(REGEX MATCH "DORVANE_CONFIG_KEYS[^#]*" keys "${header}")
  string(REGEX REPLACE "[ \\\n]+" " " keys "${keys}")
  if(NOT keys STREQUAL [=[DORVANE_CONFIG_KEYS "FirstKey", "Colour", "PlainKey" ]=])
    fail("keys: ${keys}")
  endif()
endif()

# Bad tables, each with the reason it must give.
set(cases
  "twice_id|A 1001 K \"a\"\nB 1001 L \"b\"\n|string 1001 given twice"
  "twice_name|A 1001 K \"a\"\nA 1002 L \"b\"\n|named twice"
  "no_piece|A 1001 K \"a{Missing}\"\n|no @Piece line defines"
  "no_text|A 1001 K\n|not one or two quoted texts"
  "three_texts|A 1001 K \"a\" \"b\" \"c\"\n|not one or two quoted texts"
  "bad_line|A K \"a\"\n|not Name Id Key"
  "key_with_text|- 0 K \"a\"\n|a key that is not a text"
  "text_without_id|A 0 K \"a\"\n|without a string-table id"
  "semicolon|A 1001 K \"a SEMICOLON b\"\n|semicolon")
string(ASCII 59 semicolon)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 content)
  list(GET parts -1 reason)
  string(REPLACE "SEMICOLON" "${semicolon}" content "${content}")
  run(${name} "${content}" result error)
  string(REGEX REPLACE "[ \n]+" " " error "${error}")  # CMake wraps its messages
  string(FIND "${error}" "${reason}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    fail("${name}: result ${result}, expected \"${reason}\" in: ${error}")
  endif()
endforeach()
