# nlohmann-json (the alert bodies) comes from Debian's nlohmann-json3-dev, header-only. Only its
# own folder goes on the include path, so that a cross build never sees the host's system
# headers.
include_guard(GLOBAL)
find_path(KPV_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${KPV_NLOHMANN_DIR}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/third_party-nlohmann)
add_library(kpv_nlohmann_json INTERFACE)
target_include_directories(kpv_nlohmann_json SYSTEM INTERFACE
                           ${CMAKE_BINARY_DIR}/third_party-nlohmann)
