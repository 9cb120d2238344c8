# Builds the XML reader fuzzer with clang++ (when a source is newer than the
# binary) and runs it for SECONDS over the seed corpus from random seed SEED. New inputs go to a
# working corpus in the build tree; a crash fails the test and leaves its
# input as WORK_DIR/crash-*.
if(NOT CLANGXX)
  message("SKIPPED: clang++ not found, the XML reader fuzz test needs clang and libFuzzer")
  return()
endif()

file(MAKE_DIRECTORY ${WORK_DIR}/corpus)
set(binary ${WORK_DIR}/xml_reader_fuzzer)

set(rebuild FALSE)
if(NOT EXISTS ${binary})
  set(rebuild TRUE)
else()
  foreach(source IN LISTS SOURCES)
    if(${source} IS_NEWER_THAN ${binary})
      set(rebuild TRUE)
    endif()
  endforeach()
endif()

if(rebuild)
  set(include_flags "")
  foreach(dir IN LISTS INCLUDES)
    list(APPEND include_flags -I${dir})
  endforeach()
  execute_process(
    COMMAND ${CLANGXX} -std=c++17 -g -O1 -fno-omit-frame-pointer
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            ${include_flags} ${SOURCES} -lm -o ${binary}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "building the XML reader fuzzer failed:\n${output}")
  endif()
endif()

execute_process(
  COMMAND ${binary} -seed=${SEED} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -max_len=12000
          -dict=${DICTIONARY} -artifact_prefix=${WORK_DIR}/ -print_final_stats=1 -close_fd_mask=2
          ${WORK_DIR}/corpus ${SEED_CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the XML reader fuzzer failed (exit ${result}); the input is in ${WORK_DIR}")
endif()
