# The OpenSSL reference (native builds only): the sealer with which the reference server seals
# statuses, and the reference operations against which the crypto tests and the benchmarks
# measure the client's own cryptography. One copy, whichever of tools, tests and benchmarks
# asks first.
include_guard(GLOBAL)
find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)

add_library(kpv_openssl_sealer STATIC ${PROJECT_SOURCE_DIR}/tools/common/sealer.cpp)
target_link_libraries(kpv_openssl_sealer PUBLIC kpv_core OpenSSL::Crypto)

add_library(kpv_openssl_reference STATIC ${PROJECT_SOURCE_DIR}/tests/crypto/openssl_reference.cpp)
target_link_libraries(kpv_openssl_reference PUBLIC kpv_openssl_sealer kpv_options)
