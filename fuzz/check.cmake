# kopiavakt-check: names and values from untrusted files through every output format, and its
# command line.
if(TARGET kpv_check_logic)
  kpv_add_fuzzer(check_output_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/check_output_fuzz.cpp
    LIBS kpv_check_logic)
endif()
