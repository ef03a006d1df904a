# Fails when a file of the access library or of the dataset includes a header of the simulated
# instance: both talk to whatever client library is loaded, through oracle/OracleCIApi.h only.
# Run as: cmake -DSOURCE_DIR=<repo> -P CheckLayering.cmake
set(offenders "")
foreach(folder oracle oracle_data)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.c")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]oracle_sim/")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
      string(APPEND offenders "  ${rel}: ${line}\n")
    endforeach()
  endforeach()
endforeach()
if(offenders)
  message(FATAL_ERROR "Files of oracle/ or oracle_data/ include the simulated instance:\n${offenders}")
endif()
