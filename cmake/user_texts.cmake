# Makes, into OUT_DIR, from app/res/texts.txt: the program's string table
# (user_texts.rc), the code's view of the same texts (user_texts.h), the texts
# as the Wine tests' scripts expect them (user_texts.sh) and, given the notes
# (app/res/setup.cfg.notes), the sample setup.cfg (setup.cfg.sample). Runs
# while CMake configures; editing texts.txt or the notes makes the build
# configure again.

include(${CMAKE_CURRENT_LIST_DIR}/table_file.cmake)

# The text as the program shows it: \n a line break, \\ a backslash; other
# escapes are refused, so that every output reads a text alike.
function(_user_text_shown raw where out_var)
  string(ASCII 1 backslash)
  string(REPLACE "\\\\" "${backslash}" text "${raw}")
  string(REPLACE "\\n" "\n" text "${text}")
  if(text MATCHES "\\\\")
    message(FATAL_ERROR "${where}: an escape other than \\n and \\\\")
  endif()
  string(REPLACE "${backslash}" "\\" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# Greedy wrap of text at its blanks into lines of at most width characters,
# each starting with prefix (a doubled blank stays inside a line).
function(_user_text_wrap text prefix width out_var)
  string(REPLACE " " ";" words "${text}")
  set(lines "")
  set(line "")
  set(first 1)
  foreach(word IN LISTS words)
    string(LENGTH "${prefix}${line} ${word}" length)
    if(first)
      set(line "${word}")
      set(first 0)
    elseif(length GREATER width)
      string(APPEND lines "${prefix}${line}\n")
      set(line "${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  string(APPEND lines "${prefix}${line}\n")
  set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# The sample setup.cfg from the notes: their lines as they are, but for
#   "#..."  a line of the notes' own, left out;
#   "@Key"  the key's text as its default, then the setting, commented out;
#   "{Name}" in a ";; " note: the text Name on one line (its line breaks as
#           blanks), the note then wrapped again.
# Every key of texts.txt must be set exactly once. Runs in the scope of
# dorvane_user_texts, whose texts it reads.
function(_user_texts_sample notes out_var)
  # Semicolons start every line of the sample: a stand-in keeps them out of
  # CMake's lists until the end.
  string(ASCII 2 semi)
  file(READ ${notes} content)
  string(REPLACE ";" "${semi}" content "${content}")
  string(REGEX REPLACE "\n$" "" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(sample "")
  set(note "")
  # A ";; " line is held until its note ends.
  list(APPEND lines "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^${semi}${semi} ")
      list(APPEND note "${line}")
      continue()
    endif()
    if(note MATCHES "{")
      set(joined "")
      foreach(held IN LISTS note)
        string(REGEX REPLACE "^${semi}${semi} " "" held "${held}")
        string(APPEND joined " ${held}")
      endforeach()
      string(SUBSTRING "${joined}" 1 -1 joined)
      string(REGEX MATCHALL "{[A-Za-z0-9]+}" refs "${joined}")
      foreach(ref IN LISTS refs)
        string(REGEX REPLACE "[{}]" "" name "${ref}")
        if(NOT DEFINED shown_${name})
          message(FATAL_ERROR "${notes}: ${ref} is not a text")
        endif()
        string(REPLACE "\n" " " one_line "${shown_${name}}")
        string(REPLACE "${ref}" "${one_line}" joined "${joined}")
      endforeach()
      _user_text_wrap("${joined}" "${semi}${semi} " 77 wrapped)
      string(APPEND sample "${wrapped}")
    elseif(NOT note STREQUAL "")
      string(REPLACE ";" "\n" held "${note}")
      string(APPEND sample "${held}\n")
    endif()
    set(note "")
    if(line MATCHES "^#")
      continue()
    elseif(line MATCHES "^@(.*)$")
      set(key "${CMAKE_MATCH_1}")
      if(NOT DEFINED text_of_${key})
        message(FATAL_ERROR "${notes}: @${key} is not a key of a text")
      endif()
      set(text "${shown_${text_of_${key}}}")
      if(text STREQUAL "")
        string(APPEND sample "${semi}${semi} Default: none\n")
      else()
        if(text MATCHES "\n")
          string(APPEND sample "${semi}${semi} Default (\\n is a line break):\n")
        else()
          string(APPEND sample "${semi}${semi} Default:\n")
        endif()
        string(REPLACE "\n" "\\n" escaped "${text}")
        _user_text_wrap("${escaped}" "${semi}${semi}   " 79 wrapped)
        string(APPEND sample "${wrapped}")
      endif()
      string(REPLACE "\n" " " one_line "${text}")
      string(APPEND sample "${semi}${key}=${one_line}\n")
    else()
      string(APPEND sample "${line}\n")
    endif()
  endforeach()
  # The line appended above to end the last note.
  string(REGEX REPLACE "\n$" "" sample "${sample}")
  if(sample MATCHES "{[A-Za-z0-9]+}")
    message(FATAL_ERROR "${notes}: a {Name} outside a \";; \" note")
  endif()
  foreach(key IN LISTS key_names)
    string(REGEX MATCHALL "\n${semi}${key}=" settings "\n${sample}")
    list(LENGTH settings count)
    if(NOT count EQUAL 1)
      message(FATAL_ERROR "${notes}: the key ${key} is set ${count} times, not once")
    endif()
  endforeach()
  string(REPLACE "${semi}" ";" sample "${sample}")
  set(${out_var} "${sample}" PARENT_SCOPE)
endfunction()

function(dorvane_user_texts source out_dir)
  set(notes "${ARGV2}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${notes})
  dorvane_read_table_lines(${source} lines)

  set(pieces)
  set(rc "STRINGTABLE\nBEGIN\n")
  set(refs "")
  set(table "")
  set(keys "")
  set(names "")
  set(shell "# Made from app/res/texts.txt by cmake/user_texts.cmake: edit that file.
# Each text as the program shows it, line breaks written \\n as the robot
# reports them; texts_lib.sh fills their %s and %d.
")
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
    _user_text_shown("${text}" "${source}:${number}" shown)
    _user_text_shown("${default}" "${source}:${number}" ignored)
    set(shown_${name} "${shown}")
    if(NOT DEFINED text_of_${key})
      set(text_of_${key} ${name})
    endif()
    string(REPLACE "\n" "\\n" quoted "${shown}")
    string(REPLACE "'" "'\\''" quoted "${quoted}")
    string(APPEND shell "text_${name}='${quoted}'\n")
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
  string(REPLACE "\"" "" key_names "${keys}")
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
  set(outputs user_texts.h:header user_texts.rc:rc user_texts.sh:shell)
  if(notes)
    _user_texts_sample(${notes} sample)
    list(APPEND outputs setup.cfg.sample:sample)
  endif()
  file(MAKE_DIRECTORY ${out_dir})
  foreach(pair IN LISTS outputs)
    string(REPLACE ":" ";" pair ${pair})
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
