kpv_add_fuzzer(sealed_status_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/sealed_status_fuzz.cpp
  LIBS kpv_crypto)
kpv_add_fuzzer(crypto_paths_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/crypto_paths_fuzz.cpp
  LIBS kpv_crypto)
