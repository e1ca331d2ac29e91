# Makes the program's string table (user_texts.rc) and the code's view of the
# same texts (user_texts.h) from app/res/texts.txt, into OUT_DIR. Runs while
# CMake configures; editing texts.txt makes the build configure again.
function(dorvane_user_texts source out_dir)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} content)
  if(content MATCHES ";")
    message(FATAL_ERROR "${source}: a text holds a semicolon")
  endif()
  string(REPLACE "\n" ";" lines "${content}")

  set(pieces)
  set(rc "STRINGTABLE\nBEGIN\n")
  set(refs "")
  set(table "")
  set(keys "")
  set(names "")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "^[ \t]*(#|$)")
      continue()
    endif()
    # The pieces defined so far stand in for their {Name}.
    foreach(piece IN LISTS pieces)
      string(REPLACE "{${piece}}" "${piece_${piece}}" line "${line}")
    endforeach()
    if(line MATCHES "^@([A-Za-z0-9]+)[ \t]+\"([^\"]*)\"[ \t]*$")
      list(APPEND pieces ${CMAKE_MATCH_1})
      set(piece_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
      continue()
    endif()
    if(NOT line MATCHES "^([A-Za-z0-9]+|-)[ \t]+([0-9]+)[ \t]+([A-Za-z0-9]+)[ \t]*(.*)$")
      message(FATAL_ERROR "${source}:${number}: not Name Id Key \"Text\" [\"Default\"]")
    endif()
    set(name ${CMAKE_MATCH_1})
    set(id ${CMAKE_MATCH_2})
    set(key ${CMAKE_MATCH_3})
    set(rest "${CMAKE_MATCH_4}")
    if(line MATCHES "{[A-Za-z0-9]+}")
      message(FATAL_ERROR "${source}:${number}: a {Piece} that no @Piece line defines")
    endif()
    list(FIND keys "\"${key}\"" seen)
    if(seen EQUAL -1)
      list(APPEND keys "\"${key}\"")
    endif()
    if(name STREQUAL "-")
      if(NOT rest STREQUAL "" OR NOT id EQUAL 0)
        message(FATAL_ERROR "${source}:${number}: a key that is not a text has no id and no text")
      endif()
      continue()
    endif()
    if(rest MATCHES "^\"([^\"]*)\"[ \t]*$")
      set(text "${CMAKE_MATCH_1}")
      set(default "${CMAKE_MATCH_1}")
    elseif(rest MATCHES "^\"([^\"]*)\"[ \t]+\"([^\"]*)\"[ \t]*$")
      set(text "${CMAKE_MATCH_1}")
      set(default "${CMAKE_MATCH_2}")
    else()
      message(FATAL_ERROR "${source}:${number}: the text of ${name} is not one or two quoted texts")
    endif()
    if(name IN_LIST names)
      message(FATAL_ERROR "${source}:${number}: ${name} named twice")
    endif()
    list(APPEND names ${name})
    if(id EQUAL 0)
      if(NOT text STREQUAL "")
        message(FATAL_ERROR "${source}:${number}: a text without a string-table id has an empty default")
      endif()
    else()
      if(id IN_LIST ids)
        message(FATAL_ERROR "${source}:${number}: string ${id} given twice")
      endif()
      list(APPEND ids ${id})
      string(APPEND rc "    ${id} \"${text}\"\n")
      string(APPEND table "    {${id}, \"${text}\"},\n")
    endif()
    string(APPEND refs "inline constexpr TextRef Text${name} = {${id}, \"${key}\", \"${default}\"};\n")
  endforeach()
  string(APPEND rc "END\n")
  string(REPLACE ";" ", \\\n    " keys "${keys}")

  set(header "// Made from app/res/texts.txt by cmake/user_texts.cmake: edit that file.
#ifndef DORVANE_USER_TEXTS_H
#define DORVANE_USER_TEXTS_H

#include \"text_lookup.h\"

// Each text: its string-table id, its setup.cfg key and its built-in default.
${refs}
// The string table as the resources hold it.
struct StringTableText {
    unsigned Id;
    const char* Text;
};
inline constexpr StringTableText StringTableTexts[] = {
${table}};

// Every setup.cfg key the program reads, each once, in the order of the pages.
#define DORVANE_CONFIG_KEYS \\
    ${keys}

#endif
")
  file(MAKE_DIRECTORY ${out_dir})
  foreach(pair "user_texts.h;header" "user_texts.rc;rc")
    list(GET pair 0 file_name)
    list(GET pair 1 variable)
    set(path ${out_dir}/${file_name})
    set(old "")
    if(EXISTS ${path})
      file(READ ${path} old)
    endif()
    if(NOT old STREQUAL "${${variable}}")
      file(WRITE ${path} "${${variable}}")
    endif()
  endforeach()
endfunction()
