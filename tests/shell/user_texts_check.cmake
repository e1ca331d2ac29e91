# Runs cmake/user_texts.cmake on small tables and notes: a good table must
# give the string table, the texts, the keys, the scripts' texts and the
# sample setup.cfg as written; each bad one must be refused with its reason.
# cmake -DGENERATOR=... -DWORK=... -P user_texts_check.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/run.cmake "cmake_minimum_required(VERSION 3.20)
include(${GENERATOR})
dorvane_user_texts(\${TEXTS} \${OUT} \${NOTES})
")

set(failures 0)
# run(NAME CONTENT RESULT_VAR ERROR_VAR [NOTES_CONTENT])
function(run name content result_var error_var)
  file(WRITE ${WORK}/${name}.txt "${content}")
  set(notes "")
  if(ARGC GREATER 4)
    set(notes ${WORK}/${name}.notes)
    file(WRITE ${notes} "${ARGV4}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DTEXTS=${WORK}/${name}.txt -DOUT=${WORK}/${name} -DNOTES=${notes}
                          -P ${WORK}/run.cmake
                  RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${error_var} "${error}" PARENT_SCOPE)
endfunction()
string(ASCII 59 semicolon)
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

# Escapes and quotes: the scripts' texts read back by the shell as the robot
# reports them, and the sample as the notes and the texts make it.
run(escapes [=[
@Tail "\nGood bye."
Quit    1001  QuitKey  "Don't quit%s{Tail}"
Path    1002  PathKey  "C:\\Temp\\new %d"
Long    1003  LongKey  "A text longer than one line of the sample, so that it is wrapped at its blanks.\nNext."
Other   1004  QuitKey  "Leave  now?\nSure?"
-          0  Colour
Empty      0  EmptyKey ""
]=] result error [=[
# not in the sample
;; Head; with a semicolon.

;; Asked on Cancel, or "{Other}" after the backup page, in a note long enough to wrap.
@QuitKey
@PathKey

@LongKey
;; Default: white
;Colour=red
@EmptyKey
]=])
if(NOT result EQUAL 0)
  fail("table with escapes refused: ${error}")
else()
  execute_process(COMMAND bash -c [=[. "$0" && printf '%s|' "$text_Quit" "$text_Path" "$text_Other" "$text_Empty"]=]
                          ${WORK}/escapes/user_texts.sh
                  OUTPUT_VARIABLE shown RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT shown STREQUAL [=[Don't quit%s\nGood bye.|C:\Temp\new %d|Leave  now?\nSure?||]=])
    fail("the scripts' texts read back as: ${shown}")
  endif()
  file(READ ${WORK}/escapes/setup.cfg.sample sample)
  set(want [=[
;; Head; with a semicolon.

;; Asked on Cancel, or "Leave  now? Sure?" after the backup page, in a note
;; long enough to wrap.
;; Default (\n is a line break):
;;   Don't quit%s\nGood bye.
;QuitKey=Don't quit%s Good bye.
;; Default:
;;   C:\Temp\new %d
;PathKey=C:\Temp\new %d

;; Default (\n is a line break):
;;   A text longer than one line of the sample, so that it is wrapped at its
;;   blanks.\nNext.
;LongKey=A text longer than one line of the sample, so that it is wrapped at its blanks. Next.
;; Default: white
;Colour=red
;; Default: none
;EmptyKey=
]=])
  string(REGEX REPLACE "^\n" "" want "${want}")
  if(NOT sample STREQUAL want)
    fail("sample:\n${sample}")
  endif()
endif()

# Bad notes, each with the reason it must give, over a table of one text and
# one key that is not a text.
set(note_cases
  "unknown_key|@K\n@Nope\nSEMICOLONColour=x\n|@Nope is not a key of a text"
  "not_a_text|@K\n@Colour\n|@Colour is not a key of a text"
  "unknown_name|SEMICOLONSEMICOLON see {Nope}\n@K\nSEMICOLONColour=x\n|{Nope} is not a text"
  "name_outside_note|@K\nSEMICOLONColour={A}\n|outside"
  "key_missing|@K\n|Colour is set 0 times"
  "key_twice|@K\n@K\nSEMICOLONColour=x\n|K is set 2 times")
foreach(case IN LISTS note_cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 notes)
  list(GET parts 2 reason)
  string(REPLACE "SEMICOLON" "${semicolon}" notes "${notes}")
  run(${name} "A 1001 K \"a\"\n- 0 Colour\n" result error "${notes}")
  string(REGEX REPLACE "[ \n]+" " " error "${error}")
  string(FIND "${error}" "${reason}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    fail("${name}: result ${result}, expected \"${reason}\" in: ${error}")
  endif()
endforeach()

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
  "semicolon|A 1001 K \"a SEMICOLON b\"\n|semicolon"
  "other_escape|A 1001 K \"a\\tb\"\n|an escape other than"
  "lone_backslash|A 1001 K \"a\\\"\n|an escape other than")
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
