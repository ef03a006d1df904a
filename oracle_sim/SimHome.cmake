# The files the build generates for the simulated client library and its Oracle home, written while
# the tree is configured (included by oracle_sim/CMakeLists.txt) or on their own (cmake -P, with the
# variables below given by -D):
#   TALVIK_OCI_API   the call interface's header whose entry-point list names the exported symbols
#   TALVIK_OCI_MAP   the linker's version script for the library, written from that list
#   TALVIK_SIM_HOME  the simulated Oracle home: lib/, network/admin/tnsnames.ora with the alias SIM,
#                    oradata/ (the instance's folder) and hklm.reg for HKEY_LOCAL_MACHINE (TALVIK_HKLM)
#
# A file is written only when its text changes: one written again with the same text would be newer
# than what the build made from it (the library linked with the version script), and a configure
# with nothing changed would make the build do that again.
function(talvik_write_if_changed path text)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${text}")
endfunction()

foreach(required TALVIK_OCI_API TALVIK_OCI_MAP TALVIK_SIM_HOME)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "SimHome.cmake: ${required} is not set")
  endif()
endforeach()

# The export list comes from the entry-point list of the call interface's header: only those names
# leave the library.
file(READ ${TALVIK_OCI_API} TALVIK_OCI_HEADER)
string(REGEX MATCHALL "X\\([A-Z0-9]+, [A-Za-z0-9_]+," TALVIK_OCI_ENTRIES "${TALVIK_OCI_HEADER}")
set(TALVIK_OCI_EXPORTS "")
foreach(entry IN LISTS TALVIK_OCI_ENTRIES)
  string(REGEX REPLACE "X\\([A-Z0-9]+, ([A-Za-z0-9_]+)," "\\1" name "${entry}")
  string(APPEND TALVIK_OCI_EXPORTS "    ${name};\n")
endforeach()
talvik_write_if_changed(${TALVIK_OCI_MAP} "{\n  global:\n${TALVIK_OCI_EXPORTS}  local:\n    *;\n};\n")

set(TALVIK_SIM_DB ${TALVIK_SIM_HOME}/oradata/sim.db)
file(MAKE_DIRECTORY ${TALVIK_SIM_HOME}/lib ${TALVIK_SIM_HOME}/network/admin ${TALVIK_SIM_HOME}/oradata)
# The admin folder also answers to the spelling of a Windows home ("Network/Admin").
file(CREATE_LINK network ${TALVIK_SIM_HOME}/Network SYMBOLIC)
file(CREATE_LINK admin ${TALVIK_SIM_HOME}/network/Admin SYMBOLIC)
talvik_write_if_changed(${TALVIK_SIM_HOME}/network/admin/tnsnames.ora
"# Net service names of the simulated Oracle home (written by the build).
SIM =
  (DESCRIPTION =
    (ADDRESS = (PROTOCOL = BEQ)(PATH = ${TALVIK_SIM_DB}))
    (CONNECT_DATA = (SID = SIM))
  )
")
string(REPLACE "\\" "\\\\" TALVIK_SIM_HOME_REG "${TALVIK_SIM_HOME}")
string(REPLACE "\"" "\\\"" TALVIK_SIM_HOME_REG "${TALVIK_SIM_HOME_REG}")
talvik_write_if_changed(${TALVIK_SIM_HOME}/hklm.reg
"REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE]
\"ORACLE_HOME\"=\"${TALVIK_SIM_HOME_REG}\"
\"ORACLE_HOME_NAME\"=\"SimHome\"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\ALL_HOMES]
\"HOME_COUNTER\"=\"1\"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\HOME0]
\"ORACLE_HOME\"=\"${TALVIK_SIM_HOME_REG}\"
\"ORACLE_HOME_NAME\"=\"SimHome\"
")
