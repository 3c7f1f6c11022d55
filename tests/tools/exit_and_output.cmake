# Runs a program and checks both its exit status and what it printed (CTest's
# PASS_REGULAR_EXPRESSION alone passes whatever the status):
#   cmake -DPROGRAM=<program> "-DARGS=<argument|argument...>" -DSTATUS=<expected status>
#         [-DSTDOUT=<regex>] [-DSTDERR=<regex>] -P exit_and_output.cmake
# The arguments are separated by | (a ; would split the test's command line).
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(failed "")
if(NOT status STREQUAL "${STATUS}")
  string(APPEND failed "exit status ${status}, expected ${STATUS}\n")
endif()
if(DEFINED STDOUT AND NOT out MATCHES "${STDOUT}")
  string(APPEND failed "standard output does not match '${STDOUT}'\n")
endif()
if(DEFINED STDERR AND NOT err MATCHES "${STDERR}")
  string(APPEND failed "standard error does not match '${STDERR}'\n")
endif()
if(failed)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}:\n${failed}--- standard output:\n${out}--- standard error:\n${err}")
endif()
