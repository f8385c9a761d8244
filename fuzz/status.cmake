if(TARGET kpv_account_commands AND TARGET kpv_status)
  kpv_add_fuzzer(status_reply_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/status_reply_fuzz.cpp
    LIBS kpv_account_commands kpv_status)
  kpv_add_fuzzer(remote_log_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/remote_log_fuzz.cpp
    LIBS kpv_account_commands)
endif()
if(TARGET kpv_account_commands AND TARGET kpv_status)
  # Statuses sealed by the test sealer, so that the plaintext reader is reached.
  kpv_add_fuzzer(sealed_reply_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/sealed_reply_fuzz.cpp
    LIBS kpv_account_commands kpv_status kpv_crypto)
  target_sources(sealed_reply_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/status_sealer.cpp)
endif()
