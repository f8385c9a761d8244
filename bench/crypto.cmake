kpv_bench(crypto_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/crypto_bench.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/child_run_posix.cpp
          ${PROJECT_SOURCE_DIR}/tests/crypto/openssl_reference.cpp
  LIBS kpv_crypto OpenSSL::Crypto)

# Timing-leak check of the AES paths (fixed against random keys and data, Welch's t-test). Not a
# *_bench: run it by hand, it reports and never fails.
add_executable(aes_timing_leak ${CMAKE_CURRENT_SOURCE_DIR}/aes_timing_leak.cpp)
target_link_libraries(aes_timing_leak PRIVATE kpv_options kpv_crypto)
