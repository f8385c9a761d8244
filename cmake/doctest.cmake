# doctest comes from Debian's doctest-dev. Only its own folder goes on the include path, so
# that a cross build never sees the host's system headers.
find_path(KPV_DOCTEST_DIR doctest/doctest.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(KPV_DOCTEST_COPY ${CMAKE_BINARY_DIR}/third_party)
file(COPY ${KPV_DOCTEST_DIR}/doctest/doctest.h DESTINATION ${KPV_DOCTEST_COPY}/doctest)
add_library(kpv_doctest INTERFACE)
target_include_directories(kpv_doctest SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party)

# kpv_add_test(name SOURCES ... LIBS ... [DRIVER command...]): one test executable, one ctest
# entry. Cross builds run it through CMAKE_CROSSCOMPILING_EMULATOR (Wine). A DRIVER (a host
# program that starts peers for the test and then runs the command it is given) wraps the run.
function(kpv_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DRIVER" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  target_link_libraries(${name} PRIVATE kpv_options kpv_doctest kpv_test_support kpv_secure_heap_watch
                                        ${ARG_LIBS})
  if(ARG_DRIVER)
    add_test(NAME ${name}
             COMMAND ${ARG_DRIVER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
