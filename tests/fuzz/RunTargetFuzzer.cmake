# Builds one of the fuzz targets that reach the whole library stack (TARGET:
# scene_reader_fuzzer or scene_loader_fuzzer) in their own clang build folder
# (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer on every
# library; later runs rebuild only what changed; the tests sharing it take
# turns through one resource lock) and runs it for SECONDS from SEED_DIRS.
# New inputs go to WORK_DIR/CORPUS; a crash fails the test and leaves its
# input as WORK_DIR/<ARTIFACT>crash-*. SEED fixes libFuzzer's random seed so
# that a run on a fresh tree is repeatable (0 draws a new one).
if(NOT CLANGXX OR NOT CLANGC)
  message("SKIPPED: clang not found, the ${WHAT} fuzz test needs clang and libFuzzer")
  return()
endif()

set(build ${WORK_DIR}/build)
set(flags "-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G Ninja
          -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_COMPILER=${CLANGXX} -DCMAKE_C_COMPILER=${CLANGC}
          "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_C_FLAGS=${flags}"
          -DKELMAR_FUZZ_TARGETS=ON -DKELMAR_TESTS=ON -DKELMAR_BENCH=OFF -DKELMAR_WERROR=OFF
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring the ${WHAT} fuzzer failed:\n${output}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${build} --target ${TARGET} -j ${JOBS}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the ${WHAT} fuzzer failed:\n${output}")
endif()

# Seed folders given as a glob (SEED_GLOB) are copied into WORK_DIR/seeds
# first: the scene reader's imports read them from there.
set(seed_dirs ${SEED_DIRS})
if(SEED_GLOB)
  file(MAKE_DIRECTORY ${WORK_DIR}/seeds)
  file(GLOB seeds ${SEED_GLOB})
  file(COPY ${seeds} DESTINATION ${WORK_DIR}/seeds)
  list(APPEND seed_dirs ${WORK_DIR}/seeds)
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/${CORPUS})

message("${WHAT} fuzzer: ${SECONDS} s from seed ${SEED}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env KELMAR_FUZZ_SCENES=${WORK_DIR}/seeds
          ${build}/tests/fuzz/${TARGET} -seed=${SEED} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -max_len=${MAX_LEN} -dict=${DICTIONARY} -artifact_prefix=${WORK_DIR}/${ARTIFACT} -print_final_stats=1
          -close_fd_mask=${FD_MASK} ${WORK_DIR}/${CORPUS} ${seed_dirs}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the ${WHAT} fuzzer failed (exit ${result}); the input is in ${WORK_DIR}")
endif()
