# Makes the page templates of the resources (page_templates.rc) and the Wine
# tests' view of the same templates (page_templates.h) from app/res/pages.txt,
# into OUT_DIR. Runs while CMake configures; editing pages.txt makes the build
# configure again.

include(${CMAKE_CURRENT_LIST_DIR}/table_file.cmake)

# Each kind of control: its window class and its style.
set(DORVANE_KIND_Picture Static "SS_BITMAP | WS_CHILD | WS_VISIBLE")
set(DORVANE_KIND_Icon Static "SS_ICON | WS_CHILD | WS_VISIBLE")
set(DORVANE_KIND_Label Static "SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP")
set(DORVANE_KIND_Rule Static "SS_ETCHEDHORZ | WS_CHILD | WS_VISIBLE")
set(DORVANE_KIND_Button Button "BS_PUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP")
set(DORVANE_KIND_DefaultButton Button "BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP")
set(DORVANE_KIND_Radio Button "BS_AUTORADIOBUTTON | WS_CHILD | WS_VISIBLE")
set(DORVANE_KIND_Check Button "BS_AUTOCHECKBOX | WS_CHILD | WS_VISIBLE | WS_TABSTOP")
set(DORVANE_KIND_Group Button "BS_GROUPBOX | WS_CHILD | WS_VISIBLE")
set(DORVANE_KIND_Edit Edit "ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_CHILD | WS_VISIBLE | WS_TABSTOP")
set(DORVANE_KIND_List ListBox "LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_CHILD | WS_VISIBLE | WS_TABSTOP")
# Kinds that show an image resource, named where other kinds have a text.
set(DORVANE_IMAGE_KINDS Picture Icon)
# Styles a flag adds; Hidden is written last, as NOT clears what precedes it.
set(DORVANE_FLAG_Group WS_GROUP)
set(DORVANE_FLAG_Tab WS_TABSTOP)
set(DORVANE_FLAG_Hidden "")
set(DORVANE_PAGE_STYLE "WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT")

function(dorvane_page_templates source out_dir)
  dorvane_read_table_lines(${source} lines)

  set(rc "")
  set(rows "")
  set(pages "")
  set(page_ids "")
  set(shared "")
  set(page "")
  set(width "")
  set(font "")
  set(count 0)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    set(where "${source}:${number}")
    if(line MATCHES "^[ \t]*(#|$)")
      continue()
    endif()
    if(line MATCHES "^(Size|Font)[ \t]" AND NOT page STREQUAL "")
      message(FATAL_ERROR "${where}: ${CMAKE_MATCH_1} after a Page: it is every page's")
    endif()
    if(line MATCHES "^Size[ \t]+([0-9]+)[ \t]+([0-9]+)[ \t]*$")
      set(width ${CMAKE_MATCH_1})
      set(height ${CMAKE_MATCH_2})
      continue()
    endif()
    if(line MATCHES "^Font[ \t]+([0-9]+)[ \t]+(\"[^\"]+\")[ \t]*$")
      set(font "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}")
      continue()
    endif()
    if(line MATCHES "^Page[ \t]+([A-Z][A-Z0-9_]*)[ \t]+\"([^\"]*)\"[ \t]*$")
      if(width STREQUAL "" OR font STREQUAL "")
        message(FATAL_ERROR "${where}: a Page before the Size and Font of every page")
      endif()
      if(CMAKE_MATCH_1 IN_LIST page_ids)
        message(FATAL_ERROR "${where}: page ${CMAKE_MATCH_1} given twice")
      endif()
      _dorvane_end_page()
      set(page ${CMAKE_MATCH_1})
      set(page_where "${where}")
      set(first ${count})
      set(ids "")
      list(APPEND page_ids ${page})
      set(caption "${CMAKE_MATCH_2}")
      string(APPEND rc "${page} DIALOG 0, 0, ${width}, ${height}\nSTYLE ${DORVANE_PAGE_STYLE}\n"
             "CAPTION \"${caption}\"\nFONT ${font}\nBEGIN\n")
      continue()
    endif()
    if(line MATCHES "^(Size|Font|Page)[ \t]")
      message(FATAL_ERROR "${where}: not Size Width Height, Font Points \"Face\" or Page IDD_NAME \"Caption\"")
    endif()
    # A shared control: defined by @Name and its row, placed by @Name alone.
    if(line MATCHES "^@([A-Za-z0-9]+)[ \t]*$")
      if(NOT CMAKE_MATCH_1 IN_LIST shared)
        message(FATAL_ERROR "${where}: no @${CMAKE_MATCH_1} line defines this control")
      endif()
      set(line "${shared_${CMAKE_MATCH_1}}")
    elseif(line MATCHES "^@([A-Za-z0-9]+)[ \t]+(.*)$")
      if(CMAKE_MATCH_1 IN_LIST shared)
        message(FATAL_ERROR "${where}: @${CMAKE_MATCH_1} defined twice")
      endif()
      list(APPEND shared ${CMAKE_MATCH_1})
      set(shared_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
      set(line "${CMAKE_MATCH_2}")
      _dorvane_control()  # refused here, not where it is used
      continue()
    endif()
    if(page STREQUAL "")
      message(FATAL_ERROR "${where}: a control before the first Page")
    endif()
    _dorvane_control()
    if(NOT id STREQUAL "-1")
      if(id IN_LIST ids)
        message(FATAL_ERROR "${where}: ${id} twice on page ${page}")
      endif()
      list(APPEND ids ${id})
    endif()
    math(EXPR count "${count} + 1")
    string(APPEND rc "    CONTROL ${text}, ${id}, \"${class}\", ${rc_style}, ${x}, ${y}, ${w}, ${h}\n")
    string(APPEND rows "    {${id}, \"${class}\", ${cxx_style}, ${x}, ${y}, ${w}, ${h}, ${cxx_text}},\n")
  endforeach()
  _dorvane_end_page()
  if(page STREQUAL "")
    message(FATAL_ERROR "${source}: no Page")
  endif()

  set(header "// Made from app/res/pages.txt by cmake/page_templates.cmake: edit that file.
#ifndef DORVANE_PAGE_TEMPLATES_H
#define DORVANE_PAGE_TEMPLATES_H

#include <windows.h>

#include \"resource_ids.h\"

// One control of a page template, in dialog units. Text 0: an image.
struct TemplateControl {
    int Id;
    const char* Class;
    unsigned long Style;
    int X, Y, Width, Height;
    const char* Text;
};

// A page template: its controls are TemplateControls[First] onwards.
struct PageTemplate {
    int Id;
    const char* Caption;
    int First, Count;
};

inline constexpr int PageWidth = ${width};
inline constexpr int PageHeight = ${height};

inline constexpr TemplateControl TemplateControls[] = {
${rows}};

inline constexpr PageTemplate PageTemplates[] = {
${pages}};

#endif
")
  set(rc "// Made from app/res/pages.txt by cmake/page_templates.cmake: edit that file.\n${rc}")
  file(MAKE_DIRECTORY ${out_dir})
  # CONFIGURE leaves a file that is already so alone, so nothing rebuilds.
  file(CONFIGURE OUTPUT ${out_dir}/page_templates.rc CONTENT "${rc}" @ONLY)
  file(CONFIGURE OUTPUT ${out_dir}/page_templates.h CONTENT "${header}" @ONLY)
endfunction()

# Closes the page being read, if any (a macro: it works on the caller's variables).
macro(_dorvane_end_page)
  if(NOT page STREQUAL "")
    math(EXPR page_count "${count} - ${first}")
    if(page_count EQUAL 0)
      message(FATAL_ERROR "${page_where}: page ${page} has no controls")
    endif()
    string(APPEND rc "END\n\n")
    string(APPEND pages "    {${page}, \"${caption}\", ${first}, ${page_count}},\n")
  endif()
endmacro()

# Reads the control row LINE into id, class, rc_style, cxx_style, x, y, w, h,
# text and cxx_text, or stops with the reason and the row's place (WHERE).
macro(_dorvane_control)
  if(NOT line MATCHES
     "^(-1|[A-Z][A-Z0-9_]*)[ \t]+([A-Za-z]+)[ \t]+([0-9]+)[ \t]+([0-9]+)[ \t]+([0-9]+)[ \t]+([0-9]+)[ \t]+(.*)$")
    message(FATAL_ERROR "${where}: not Id Kind X Y W H [Flags] Text")
  endif()
  set(id ${CMAKE_MATCH_1})
  set(kind ${CMAKE_MATCH_2})
  set(x ${CMAKE_MATCH_3})
  set(y ${CMAKE_MATCH_4})
  set(w ${CMAKE_MATCH_5})
  set(h ${CMAKE_MATCH_6})
  set(rest "${CMAKE_MATCH_7}")
  if(NOT DEFINED DORVANE_KIND_${kind})
    message(FATAL_ERROR "${where}: no kind of control ${kind}")
  endif()
  list(GET DORVANE_KIND_${kind} 0 class)
  list(GET DORVANE_KIND_${kind} 1 rc_style)
  set(hidden 0)
  while(rest MATCHES "^([A-Z][a-z]+)[ \t]+(.*)$")
    set(flag ${CMAKE_MATCH_1})
    set(rest "${CMAKE_MATCH_2}")
    if(NOT DEFINED DORVANE_FLAG_${flag})
      message(FATAL_ERROR "${where}: no flag ${flag}")
    elseif(flag STREQUAL "Hidden")
      set(hidden 1)
    else()
      string(APPEND rc_style " | ${DORVANE_FLAG_${flag}}")
    endif()
  endwhile()
  set(cxx_style "${rc_style}")
  if(hidden)
    string(APPEND rc_style " | NOT WS_VISIBLE")
    set(cxx_style "(${cxx_style}) & ~WS_VISIBLE")
  endif()
  if(kind IN_LIST DORVANE_IMAGE_KINDS)
    if(NOT rest MATCHES "^([A-Z][A-Z0-9_]*)[ \t]*$")
      message(FATAL_ERROR "${where}: a ${kind} names its image resource")
    endif()
    set(text ${CMAKE_MATCH_1})
    set(cxx_text 0)
  else()
    if(NOT rest MATCHES "^(\"[^\"]*\")[ \t]*$")
      message(FATAL_ERROR "${where}: the text of a ${kind} is one quoted text")
    endif()
    set(text "${CMAKE_MATCH_1}")
    set(cxx_text "${CMAKE_MATCH_1}")
  endif()
endmacro()
