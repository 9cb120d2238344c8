# kelmar_add_library(<name> SOURCES ... [DEPENDS ...] [LINKS ...])
# Declares one toolkit library in two forms built from one set of objects:
# Kelmar::<name>, static (what the tests, tools and benchmarks link), and
# Kelmar::<name>_shared, shared (for the Python package and other programs
# that load the toolkit at run time); both are installed, as libkelmar<name>.a
# and libkelmar<name>.so. Public headers come from include/kelmar, private
# ones from the library's own folder, which is the private include
# directory: a private header in a subfolder is included with its
# subfolder ("solver/RbdLcsMatrix.h"). Sources are found recursively by each
# library's file(GLOB_RECURSE ... CONFIGURE_DEPENDS). DEPENDS names static
# targets (Kelmar::Px); the shared form depends on their shared forms.
function(kelmar_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LINKS" ${ARGN})
  add_library(${name}_objects OBJECT ${ARG_SOURCES})
  set_target_properties(${name}_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name}_objects
    PRIVATE ${PROJECT_SOURCE_DIR}/include ${CMAKE_CURRENT_SOURCE_DIR})

  add_library(${name} STATIC $<TARGET_OBJECTS:${name}_objects>)
  add_library(${name}_shared SHARED $<TARGET_OBJECTS:${name}_objects>)
  add_library(Kelmar::${name} ALIAS ${name})
  add_library(Kelmar::${name}_shared ALIAS ${name}_shared)
  foreach(form ${name} ${name}_shared)
    target_include_directories(${form}
      PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
             $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    set_target_properties(${form} PROPERTIES EXPORT_NAME ${form} OUTPUT_NAME kelmar${name})
    if(ARG_LINKS)
      target_link_libraries(${form} PRIVATE ${ARG_LINKS})
    endif()
  endforeach()
  # Installed, a shared library finds the others beside it: a program that
  # links one of them alone (Kelmar::Sbx_shared) gets its dependencies
  # through it, and the program's own run path does not reach them.
  set_target_properties(${name}_shared PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    INSTALL_RPATH "$ORIGIN")
  foreach(dep IN LISTS ARG_DEPENDS)
    target_link_libraries(${name} PUBLIC ${dep})
    target_link_libraries(${name}_shared PUBLIC ${dep}_shared)
  endforeach()
  # The libraries are C++ behind C interfaces: a program linked by the C
  # compiler (project(x C)) needs the C++ runtime and the maths library in
  # the static form's link interface. The shared form records them itself.
  target_link_libraries(${name} INTERFACE stdc++ m)
  install(TARGETS ${name} ${name}_shared EXPORT KelmarTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endfunction()

# kelmar_add_test(<name> SOURCES ... LIBS ...)
# One GoogleTest executable, its cases registered with CTest one by one.
function(kelmar_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
