if(TARGET kpv_account_commands AND TARGET kpv_status)
  kpv_add_fuzzer(status_reply_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/status_reply_fuzz.cpp
    LIBS kpv_account_commands kpv_status)
  kpv_add_fuzzer(remote_log_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/remote_log_fuzz.cpp
    LIBS kpv_account_commands)
endif()
