# Builds the scene loader fuzzer in a build folder of its own, with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer (ninja rebuilds
# only what changed), and runs it for SECONDS over the seed corpus. New
# inputs go to a working corpus in the build tree; a crash fails the test
# and leaves its input as WORK_DIR/crash-*.
if(NOT CLANGXX OR NOT CLANGC)
  message("SKIPPED: clang not found, the scene loader fuzz test needs clang and libFuzzer")
  return()
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/corpus)
set(build ${WORK_DIR}/build)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()
if(NOT EXISTS ${build}/CMakeCache.txt)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G Ninja
      -DCMAKE_C_COMPILER=${CLANGC} -DCMAKE_CXX_COMPILER=${CLANGXX} -DCMAKE_BUILD_TYPE=Debug
      "-DCMAKE_C_FLAGS_DEBUG=-g -O1" "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1"
      "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
      "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
      "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined"
      -DKELMAR_TESTS=OFF -DKELMAR_BENCH=OFF -DKELMAR_FUZZ_TARGETS=ON)
endif()
run(${CMAKE_COMMAND} --build ${build} --target scene_loader_fuzzer -j ${JOBS})
execute_process(
  COMMAND ${build}/tests/fuzz/targets/scene_loader_fuzzer -max_total_time=${SECONDS} -timeout=10
          -rss_limit_mb=2048 -max_len=12000 -dict=${DICTIONARY} -artifact_prefix=${WORK_DIR}/
          -print_final_stats=1 -close_fd_mask=2 ${WORK_DIR}/corpus ${SEED_CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the scene loader fuzzer failed (exit ${result}); the input is in ${WORK_DIR}")
endif()
