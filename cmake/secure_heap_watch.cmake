# The secure heap as tests, benchmarks and fuzz targets watch it (tests/support/
# secure_heap_watch.h). An executable that links this object library has its calls of
# core/secure_heap.h routed through the watch by GNU ld's --wrap; the product links unwrapped.
add_library(kpv_secure_heap_watch OBJECT ${PROJECT_SOURCE_DIR}/tests/support/secure_heap_watch.cpp)
target_link_libraries(kpv_secure_heap_watch PRIVATE kpv_options)
target_link_options(kpv_secure_heap_watch INTERFACE
  "LINKER:--wrap=kpv_secure_heap_take,--wrap=kpv_secure_heap_give")
