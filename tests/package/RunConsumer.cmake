# Script mode: install, then build and run outside programs against the
# installed package: C++ and C through find_package(Kelmar) on the static
# and the shared libraries, a project that enables C alone, and a C program
# compiled with nothing but pkg-config's flags.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(flags "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_CXX_FLAGS=${FLAGS}"
          "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR} ${flags})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer_cxx)
run(${WORK_DIR}/build/consumer_c)
run(${WORK_DIR}/build/consumer_shared)
run(${WORK_DIR}/build/consumer_sbx_only)
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR}_c -B ${WORK_DIR}/build_c -G ${GENERATOR} ${flags})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build_c)
run(${WORK_DIR}/build_c/consumer_pure_c)

find_program(PKG_CONFIG pkg-config REQUIRED)
file(GLOB pc_file ${prefix}/*/pkgconfig/kelmar.pc ${prefix}/*/*/pkgconfig/kelmar.pc)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} ${PKG_CONFIG} --cflags --libs kelmar
                OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR pc_flags STREQUAL "")
  message(FATAL_ERROR "pkg-config finds no kelmar in ${pc_dir}")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${FLAGS}")
run(cc ${extra} ${CONSUMER_DIR}/main.c ${pc_flags} -o ${WORK_DIR}/consumer_pkg_config)
string(REGEX MATCH "-L[^ ;]+" libdir_flag "${pc_flags}")
string(SUBSTRING "${libdir_flag}" 2 -1 libdir)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK_DIR}/consumer_pkg_config)
