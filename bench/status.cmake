if(TARGET kpv_status)
  kpv_bench(status_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/status_bench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/child_run_posix.cpp
            ${PROJECT_SOURCE_DIR}/tests/crypto/openssl_reference.cpp
    LIBS kpv_status kpv_crypto OpenSSL::Crypto)
endif()
