# cmake -DFUZZER=... -DCORPUS=dir -DWORK=dir -DSECONDS=n -P run_session.cmake
# Fuzzes for SECONDS from a fresh copy of CORPUS in WORK/corpus; a crashing
# input is written to WORK/artifacts/ and fails the run.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/artifacts)
file(COPY ${CORPUS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1
          -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(GLOB found ${WORK}/artifacts/*)
  message(FATAL_ERROR "fuzz_records failed (${status}); input: ${found}")
endif()
