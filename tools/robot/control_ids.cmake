# Writes the wizard's resource and control ids as shell assignments
# (IDC_BACKUP_PATH=1002, ...), so that the scripts driving the robot name
# controls as the code does.
#   cmake -DHEADER=resource_ids.h -DOUT=control_ids.sh -P control_ids.cmake
file(STRINGS ${HEADER} lines REGEX "^#define[ \t]+ID[A-Z0-9_]*[ \t]+[0-9]+")
if(NOT lines)
  message(FATAL_ERROR "no ids in ${HEADER}")
endif()
set(text "# Generated from ${HEADER} at build time; do not edit.\n")
# The ids Windows gives a dialog's OK (the pages' Next) and Cancel buttons.
string(APPEND text "IDOK=1\nIDCANCEL=2\n")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^#define[ \t]+(ID[A-Z0-9_]*)[ \t]+([0-9]+).*" "\\1=\\2" assignment "${line}")
  string(APPEND text "${assignment}\n")
endforeach()
file(WRITE ${OUT}.tmp "${text}")
file(RENAME ${OUT}.tmp ${OUT})
