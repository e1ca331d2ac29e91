# Runs cmake/page_templates.cmake on small tables: a good one must give the
# resource templates and the test table as written; each bad one must be
# refused with its line and reason.
# cmake -DGENERATOR=... -DWORK=... -P page_templates_check.cmake
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/run.cmake "cmake_minimum_required(VERSION 3.20)
include(${GENERATOR})
dorvane_page_templates(\${PAGES} \${OUT})
")

# run(NAME CONTENT RESULT_VAR ERROR_VAR)
function(run name content result_var error_var)
  file(WRITE ${WORK}/${name}.txt "${content}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DPAGES=${WORK}/${name}.txt -DOUT=${WORK}/${name} -P ${WORK}/run.cmake
                  RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
  set(${result_var} ${result} PARENT_SCOPE)
  string(REGEX REPLACE "[ \n]+" " " error "${error}")  # CMake wraps its messages
  set(${error_var} "${error}" PARENT_SCOPE)
endfunction()

# A good table: a shared control used on two pages, every flag, an image, an
# unnamed control and a text with an escape.
run(good [=[
# a comment
Size 100 50
Font 8 "Face"
@Ok  IDOK  DefaultButton  40 30 20 10  "&OK"

Page IDD_ONE "One"
IDC_PICTURE  Picture  1 2 0 0  IDB_PICTURE
-1           Label    5 6 7 8  "Two\nlines"
@Ok
Page IDD_TWO "Two"
IDC_CHOICE   Radio    1 2 3 4  Group Tab Hidden  ""
@Ok
]=] result error)
if(NOT result EQUAL 0)
  message(SEND_ERROR "good table refused: ${error}")
else()
  file(READ ${WORK}/good/page_templates.rc rc)
  file(READ ${WORK}/good/page_templates.h header)
  string(REGEX REPLACE "^//[^\n]*\n" "" rc "${rc}")
  set(want_rc [=[IDD_ONE DIALOG 0, 0, 100, 50
STYLE WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
CAPTION "One"
FONT 8, "Face"
BEGIN
    CONTROL IDB_PICTURE, IDC_PICTURE, "Static", SS_BITMAP | WS_CHILD | WS_VISIBLE, 1, 2, 0, 0
    CONTROL "Two\nlines", -1, "Static", SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP, 5, 6, 7, 8
    CONTROL "&OK", IDOK, "Button", BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 40, 30, 20, 10
END

IDD_TWO DIALOG 0, 0, 100, 50
STYLE WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
CAPTION "Two"
FONT 8, "Face"
BEGIN
    CONTROL "", IDC_CHOICE, "Button", BS_AUTORADIOBUTTON | WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | NOT WS_VISIBLE, 1, 2, 3, 4
    CONTROL "&OK", IDOK, "Button", BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 40, 30, 20, 10
END

]=])
  if(NOT rc STREQUAL want_rc)
    message(SEND_ERROR "templates:\n${rc}")
  endif()
  foreach(want
      [=[PageWidth = 100;]=]
      [=[PageHeight = 50;]=]
      [=[{IDC_PICTURE, "Static", SS_BITMAP | WS_CHILD | WS_VISIBLE, 1, 2, 0, 0, 0},]=]
      [=[{-1, "Static", SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP, 5, 6, 7, 8, "Two\nlines"},]=]
      [=[{IDC_CHOICE, "Button", (BS_AUTORADIOBUTTON | WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP) & ~WS_VISIBLE, 1, 2, 3, 4, ""},]=]
      [=[{IDD_ONE, "One", 0, 3},]=]
      [=[{IDD_TWO, "Two", 3, 2},]=])
    string(FIND "${header}" "${want}" at)
    if(at EQUAL -1)
      message(SEND_ERROR "test table lacks ${want}:\n${header}")
    endif()
  endforeach()
endif()

# refused(NAME CONTENT REASON): the table is refused, naming REASON.
function(refused name content reason)
  run(${name} "${content}" result error)
  string(FIND "${error}" "${name}.txt${reason}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    message(SEND_ERROR "${name}: result ${result}, expected \"${reason}\" in: ${error}")
  endif()
endfunction()

# Each bad table starts with these two lines, so its page begins on line 3.
set(frame "Size 100 50\nFont 8 \"Face\"\n")
refused(bad_row "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 \"x\"\n" ":4: not Id Kind X Y W H")
refused(no_kind "${frame}Page IDD_A \"A\"\nIDOK Knob 1 2 3 4 \"x\"\n" ":4: no kind of control Knob")
refused(no_flag "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 4 Shown \"x\"\n" ":4: no flag Shown")
refused(unquoted "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 4 OK\n" ":4: the text of a Button is one quoted text")
refused(image_text "${frame}Page IDD_A \"A\"\nIDC_P Picture 1 2 3 4 \"x\"\n" ":4: a Picture names its image")
refused(outside "${frame}IDOK Button 1 2 3 4 \"x\"\n" ":3: a control before the first Page")
refused(undefined "${frame}Page IDD_A \"A\"\n@Missing\n" ":4: no @Missing line defines")
refused(shared_twice "${frame}@B IDOK Button 1 2 3 4 \"x\"\n@B IDOK Button 1 2 3 4 \"y\"\n" ":4: @B defined twice")
# A bad shared control is refused where it is defined, used or not.
refused(shared_bad "${frame}@B IDOK Knob 1 2 3 4 \"x\"\n" ":3: no kind of control Knob")
refused(id_twice "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 4 \"x\"\nIDOK Button 5 6 7 8 \"y\"\n"
        ":5: IDOK twice on page IDD_A")
refused(page_twice "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 4 \"x\"\nPage IDD_A \"B\"\n" ":5: page IDD_A given twice")
refused(empty_page "${frame}Page IDD_A \"A\"\nPage IDD_B \"B\"\nIDOK Button 1 2 3 4 \"x\"\n"
        ":3: page IDD_A has no controls")
refused(bad_page "${frame}Page IDD_A Caption\n" ":3: not Size Width Height, Font")
refused(bad_size "Size 100\n" ":1: not Size Width Height, Font")
refused(no_frame "Page IDD_A \"A\"\n" ":1: a Page before the Size and Font")
refused(late_size "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 4 \"x\"\nSize 1 2\n" ":5: Size after a Page")
string(ASCII 59 semicolon)
refused(semicolon "${frame}Page IDD_A \"A\"\nIDOK Button 1 2 3 4 \"a${semicolon}b\"\n" ": a text holds a semicolon")
