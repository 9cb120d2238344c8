# Builds the scene loader fuzzer (toolkit scene files) in the fuzz targets'
# clang build folder, which the scene reader fuzz test shares (the two tests
# take turns: one resource lock), and runs it for SECONDS over its seeds.
# New inputs go to a working corpus in the build tree; a crash fails the
# test and leaves its input as WORK_DIR/crash-*.
if(NOT CLANGXX OR NOT CLANGC)
  message("SKIPPED: clang not found, the scene loader fuzz test needs clang and libFuzzer")
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
  message(FATAL_ERROR "configuring the scene loader fuzzer failed:\n${output}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${build} --target scene_loader_fuzzer -j ${JOBS}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building the scene loader fuzzer failed:\n${output}")
endif()

file(MAKE_DIRECTORY ${WORK_DIR}/loader-corpus)
execute_process(
  COMMAND ${build}/tests/fuzz/scene_loader_fuzzer -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -max_len=12000 -dict=${DICTIONARY} -artifact_prefix=${WORK_DIR}/loader- -print_final_stats=1
          -close_fd_mask=2 ${WORK_DIR}/loader-corpus ${SEED_CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the scene loader fuzzer failed (exit ${result}); the input is in ${WORK_DIR}")
endif()
