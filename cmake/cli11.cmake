# CLI11 (command-line parsing of the tools) comes from Debian's libcli11-dev, header-only. Only
# its own folder goes on the include path, so that a cross build never sees the host's system
# headers.
include_guard(GLOBAL)
find_path(KPV_CLI11_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${KPV_CLI11_DIR}/CLI DESTINATION ${CMAKE_BINARY_DIR}/third_party-cli11)
add_library(kpv_cli11 INTERFACE)
target_include_directories(kpv_cli11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party-cli11)
