kpv_bench(crypto_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/crypto_bench.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/child_run_posix.cpp
          ${PROJECT_SOURCE_DIR}/tests/crypto/openssl_reference.cpp
  LIBS kpv_crypto OpenSSL::Crypto)
