# The 32-bit Windows build (cross-compiled with cmake/mingw-w64-i686.cmake):
# AdvancedRelievo.dll, quarn-host.exe and the tests that run under Wine. Every
# library comes from the prefix that scripts/win32-deps.sh fills and is linked
# statically, with the C++ runtime, so the DLL needs only Windows' own DLLs.

# SSE arithmetic, as on x86-64: the x87 default would round differently and
# change truncated samples.
add_compile_options(-msse2 -mfpmath=sse)
# M_PI and friends, which glibc offers by default. FLTK 1.3's headers take
# their Windows side only when WIN32 is defined, which a strict C++17 compiler
# does not do; it is set for every file, so that all see the same CImg.
add_compile_definitions(FREEIMAGE_LIB _USE_MATH_DEFINES WIN32)
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
add_link_options(-static -static-libgcc -static-libstdc++)

find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_path(CIMG_INCLUDE_DIR CImg.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_library(FREEIMAGE_LIBRARY freeimage REQUIRED)
find_library(TIFF_LIBRARY tiff REQUIRED)
find_library(PNG_LIBRARY NAMES png16 png REQUIRED)
find_library(JPEG_LIBRARY jpeg REQUIRED)
find_library(ZLIB_LIBRARY z REQUIRED)
set(RELIEVO_IMAGE_LIBS ${FREEIMAGE_LIBRARY} ${TIFF_LIBRARY} ${PNG_LIBRARY} ${JPEG_LIBRARY}
                       ${ZLIB_LIBRARY})
# CImg.h lives with the build machine's headers; only that folder is added,
# so no Linux header can stand in for a Windows one.
set(CIMG_ONLY_DIR ${CMAKE_BINARY_DIR}/cimg-include)
file(MAKE_DIRECTORY ${CIMG_ONLY_DIR})
file(CREATE_LINK ${CIMG_INCLUDE_DIR}/CImg.h ${CIMG_ONLY_DIR}/CImg.h COPY_ON_ERROR SYMBOLIC)

# The parts that need no GUI toolkit: heightmap operations, map text, image
# files, the platform layer.
file(GLOB CORE_SOURCES CONFIGURE_DEPENDS terrain/*.cpp export/*.cpp imagefiles/*.cpp)
list(APPEND CORE_SOURCES platform/platform.cpp platform/platform_win32.cpp platform/file_size_signal.cpp
                         plugin/plugin_state.cpp)
add_library(relievo_core STATIC ${CORE_SOURCES})
target_include_directories(relievo_core PUBLIC ${CMAKE_SOURCE_DIR} ${FREEIMAGE_INCLUDE_DIR} ${CIMG_ONLY_DIR})
target_link_libraries(relievo_core PUBLIC ${RELIEVO_IMAGE_LIBS} comdlg32 user32 gdi32 kernel32)
target_precompile_headers(relievo_core PRIVATE platform/cimg_config.h)

file(GLOB HOST_LIB_SOURCES CONFIGURE_DEPENDS host/*.cpp)
list(FILTER HOST_LIB_SOURCES EXCLUDE REGEX "host/(main|module_loader_posix)\\.cpp$")
add_library(quarn_host_lib STATIC ${HOST_LIB_SOURCES})
target_include_directories(quarn_host_lib PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(quarn-host host/main.cpp)
target_link_libraries(quarn-host PRIVATE quarn_host_lib)

# FLTK, built statically with its OpenGL part.
find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_library(FLTK_LIBRARY fltk REQUIRED)
find_library(FLTK_GL_LIBRARY fltk_gl REQUIRED)
find_library(FLTK_IMAGES_LIBRARY fltk_images REQUIRED)
file(GLOB GUI_SOURCES CONFIGURE_DEPENDS plugin/*.cpp editor/*.cpp ui/*.cpp preview/*.cpp
                                        platform/*.cpp)
list(FILTER GUI_SOURCES EXCLUDE REGEX "(_fltk|_posix|plugin/module_anchor|plugin/plugin_state|platform/platform|platform/platform_win32|platform/file_size_signal)\\.cpp$")
add_library(relievo STATIC ${GUI_SOURCES})
target_include_directories(relievo PUBLIC ${FLTK_INCLUDE_DIR})
target_link_libraries(relievo PUBLIC relievo_core ${FLTK_IMAGES_LIBRARY} ${FLTK_GL_LIBRARY}
                      ${FLTK_LIBRARY} ${RELIEVO_IMAGE_LIBS} glu32 opengl32 comctl32 ole32 uuid
                      shell32 advapi32 ws2_32 gdi32 user32 comdlg32 kernel32)
target_precompile_headers(relievo PRIVATE platform/cimg_config.h)

add_library(AdvancedRelievo SHARED plugin/module_anchor.cpp plugin/AdvancedRelievo.def)
set_target_properties(AdvancedRelievo PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Whole-archive takes every entry point in; relievo_core, which relievo links,
# gives what they use (naming it here too makes CMake refuse the link).
target_link_libraries(AdvancedRelievo PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,relievo>")
# The .def file alone decides the export table: nothing else leaks out. The
# module opens windows and never a console, so it is marked a GUI one. The
# release build is stripped: its symbol table helps no Quarn user, and a
# build for debugging (RelWithDebInfo, Debug) keeps it.
target_link_options(AdvancedRelievo PRIVATE -Wl,--exclude-all-symbols -Wl,--subsystem,windows
                    $<$<CONFIG:Release,MinSizeRel>:-s>)
add_dependencies(quarn-host AdvancedRelievo)

if(RELIEVO_BUILD_TESTS)
  # ctest runs every test program under Wine.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  enable_testing()
  add_subdirectory(tests/win32)
endif()

# The map-text, resampling and generator benchmarks, when Google Benchmark has
# been cross-built into the prefix (scripts/win32-deps.sh --bench).
find_package(benchmark CONFIG QUIET)
if(RELIEVO_BUILD_BENCHMARKS AND benchmark_FOUND)
  foreach(name bench_map_text bench_terrain)
    add_executable(${name} bench/${name}.cpp)
    target_link_libraries(${name} PRIVATE relievo benchmark::benchmark_main)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  endforeach()
endif()
