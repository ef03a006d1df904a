cmake_minimum_required(VERSION 3.25)
# Fails when a file of the access library or of the dataset includes a header of the simulated
# instance (both talk to whatever client library is loaded, through oracle/OracleCIApi.h only), or
# a header of the window layer (only the visual units of oracle/ may: the logon dialog, the select
# form and the class library's user interface).
# Run as: cmake -DSOURCE_DIR=<repo> -P CheckLayering.cmake
set(offenders "")
set(visual_units "OracleLogon" "OracleLogonHistory" "OracleSelForm" "OracleVisualGui")
foreach(folder oracle oracle_data)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.c")
  foreach(f IN LISTS files)
    file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]oracle_sim/")
    foreach(line IN LISTS lines)
      string(APPEND offenders "  ${rel}: ${line}\n")
    endforeach()
    get_filename_component(unit "${f}" NAME_WE)
    if(NOT (folder STREQUAL "oracle" AND unit IN_LIST visual_units))
      file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](platform/gui/|Q[A-Za-z]+)")
      foreach(line IN LISTS lines)
        string(APPEND offenders "  ${rel}: ${line}\n")
      endforeach()
    endif()
  endforeach()
endforeach()
if(offenders)
  message(FATAL_ERROR "Files of oracle/ or oracle_data/ reach past their layer:\n${offenders}")
endif()
