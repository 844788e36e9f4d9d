# Runs one program and checks what a user would see: its exit status, its
# standard output byte for byte, and a pattern in its standard error.
#   -DPROGRAM=... [-DEMULATOR=...] [-DARGS=a;b] [-DINPUT=file]
#   -DEXPECT_STATUS=n [-DEXPECT_STDOUT=file] [-DEXPECT_STDERR_REGEX=re]
set(command ${PROGRAM} ${ARGS})
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()
if(NOT INPUT)
  set(INPUT /dev/null)
endif()
execute_process(COMMAND ${command} INPUT_FILE ${INPUT}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)

if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED EXPECT_STDOUT)
  if(EXPECT_STDOUT STREQUAL "")
    set(expected "")
  else()
    file(READ ${EXPECT_STDOUT} expected)
  endif()
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "standard output differs.\n--- got:\n${out}--- expected:\n${expected}")
  endif()
endif()
if(DEFINED EXPECT_STDERR_REGEX AND NOT err MATCHES "${EXPECT_STDERR_REGEX}")
  message(FATAL_ERROR "standard error does not match '${EXPECT_STDERR_REGEX}':\n${err}")
endif()
