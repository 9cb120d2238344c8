# kelmar_add_library(<name> SOURCES ... [DEPENDS ...] [LINKS ...])
# Declares one toolkit library Kelmar::<name>: public headers come from
# include/kelmar, private ones from the library's own folder, which is the
# private include directory: a private header in a subfolder is included
# with its subfolder ("solver/RbdLcsMatrix.h"). Sources are found
# recursively by each library's file(GLOB_RECURSE ... CONFIGURE_DEPENDS).
function(kelmar_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LINKS" ${ARGN})
  add_library(${name} ${ARG_SOURCES})
  add_library(Kelmar::${name} ALIAS ${name})
  target_include_directories(${name}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(dep IN LISTS ARG_DEPENDS)
    target_link_libraries(${name} PUBLIC ${dep})
  endforeach()
  if(ARG_LINKS)
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  endif()
  set_target_properties(${name} PROPERTIES EXPORT_NAME ${name} OUTPUT_NAME kelmar${name})
  install(TARGETS ${name} EXPORT KelmarTargets
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
