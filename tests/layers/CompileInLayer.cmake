# Compiles one-line probes with the flags compile_commands.json gives the first source
# under SOURCE: its own header must compile; <QString> and a header of each folder
# in UNREACHABLE (comma-separated) must be missing.
file(READ ${COMPILE_COMMANDS} commands)
string(JSON last LENGTH "${commands}")
math(EXPR last "${last} - 1")
foreach(i RANGE ${last})
  string(JSON file GET "${commands}" ${i} file)
  string(FIND "${file}" "${SOURCE_DIR}/${SOURCE}" at)
  if(at EQUAL 0 AND file MATCHES "\\.cpp$")
    string(JSON command GET "${commands}" ${i} command)
    string(JSON directory GET "${commands}" ${i} directory)
    break()
  endif()
endforeach()
# The command without its input, output and dependency file.
separate_arguments(words UNIX_COMMAND "${command}")
string(REGEX REPLACE ";-(o|c|MF|MT|MQ);[^;]*" "" flags "${words}")
list(REMOVE_ITEM flags -MD -MMD)

function(probe line expect)
  file(WRITE ${WORK}/probe.cpp "${line}\nint Probe();\n")
  execute_process(COMMAND ${flags} -fsyntax-only ${WORK}/probe.cpp WORKING_DIRECTORY ${directory}
                  RESULT_VARIABLE result ERROR_VARIABLE out)
  if(NOT (expect STREQUAL "compiles" AND result EQUAL 0) AND
     NOT (expect STREQUAL "missing" AND out MATCHES "No such file|file not found"))
    message(SEND_ERROR "${SOURCE}: ${line} should be ${expect}, got ${result}:\n${out}")
  endif()
endfunction()

string(REGEX REPLACE ".*/([^/]+/[^/]+)\\.cpp$" "\\1.h" own "${file}")
probe("#include \"${own}\"" compiles)
probe("#include <QString>" missing)
string(REPLACE "," ";" unreachable "${UNREACHABLE}")
foreach(other IN LISTS unreachable)
  file(GLOB headers RELATIVE ${SOURCE_DIR}/${other}/.. ${SOURCE_DIR}/${other}/*.h)
  list(GET headers 0 header)
  probe("#include \"${header}\"" missing)
endforeach()
