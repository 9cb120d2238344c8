# Builds the scene reader fuzzer in a build folder of its own with clang
# (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer on every
# library it reaches; later runs rebuild only what changed) and runs it for
# SECONDS over the example scenes. A crash fails the test and leaves its
# input as WORK_DIR/crash-*.
if(NOT CLANGXX OR NOT CLANGC)
  message("SKIPPED: clang not found, the scene reader fuzz test needs clang and libFuzzer")
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
  message(FATAL_ERROR "configuring the scene reader fuzzer failed:\n${output}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${build} --target scene_reader_fuzzer -j ${JOBS}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the scene reader fuzzer failed:\n${output}")
endif()

# The seeds: every example scene and malformed file (not the meshes); the
# fuzzer's imports read them from there too.
file(MAKE_DIRECTORY ${WORK_DIR}/corpus ${WORK_DIR}/seeds)
file(GLOB seeds ${SOURCE_DIR}/examples/*.px ${SOURCE_DIR}/examples/malformed/*.px)
file(COPY ${seeds} DESTINATION ${WORK_DIR}/seeds)

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env KELMAR_FUZZ_SCENES=${WORK_DIR}/seeds
          ${build}/tests/fuzz/scene_reader_fuzzer -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -max_len=16384 -dict=${DICTIONARY} -artifact_prefix=${WORK_DIR}/ -print_final_stats=1 -close_fd_mask=3
          ${WORK_DIR}/corpus ${WORK_DIR}/seeds
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the scene reader fuzzer failed (exit ${result}); the input is in ${WORK_DIR}")
endif()
