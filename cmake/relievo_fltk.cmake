# FLTK for the Linux build: the headers and the three libraries we link, found
# directly. FLTK's own package config (and CMake's FindFLTK, which loads that
# same config from /usr/lib/fltk) insists on the `fluid` designer program, which
# a build machine has no reason to carry. Everything else links `relievo_fltk`,
# so a build that brings its own FLTK (the Windows cross build) only needs to
# define that target before this file is included.
if(TARGET relievo_fltk)
  return()
endif()

find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
find_library(FLTK_BASE_LIBRARY fltk REQUIRED)
find_library(FLTK_GL_LIBRARY fltk_gl REQUIRED)
find_library(FLTK_IMAGES_LIBRARY fltk_images REQUIRED)

add_library(relievo_fltk INTERFACE)
target_include_directories(relievo_fltk INTERFACE ${FLTK_INCLUDE_DIR})
# Order matters for static archives: images and gl use the base library.
target_link_libraries(relievo_fltk INTERFACE
  ${FLTK_IMAGES_LIBRARY} ${FLTK_GL_LIBRARY} ${FLTK_BASE_LIBRARY})
