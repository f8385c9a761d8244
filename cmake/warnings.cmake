# Every target of the project compiles with the same strict warnings, treated as errors.
add_library(kpv_options INTERFACE)
target_compile_options(kpv_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual -Wnull-dereference -Werror)
target_include_directories(kpv_options INTERFACE ${PROJECT_SOURCE_DIR})

if(KPV_SANITIZE)
  target_compile_options(kpv_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kpv_options INTERFACE -fsanitize=address,undefined)
endif()

if(KPV_FUZZ)
  # Coverage feedback from every library, not only from the fuzz targets' own files.
  target_compile_options(kpv_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(MINGW)
  # One self-contained exe: no libstdc++, libgcc or winpthread DLLs beside it.
  target_link_options(kpv_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(kpv_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  # Reproducible exes: no link time in the PE header, and no build folder in anything the
  # compiler writes (__FILE__, debug data) of a release build.
  target_link_options(kpv_options INTERFACE -Wl,--no-insert-timestamp)
  target_compile_options(kpv_options INTERFACE
    $<$<CONFIG:MinSizeRel>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=src>
    $<$<CONFIG:MinSizeRel>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
endif()
