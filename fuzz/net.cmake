# Server exchange: arbitrary replies, in arbitrary pieces, through a fake socket layer.
kpv_add_fuzzer(exchange_fuzz SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/exchange_fuzz.cpp LIBS kpv_net)
