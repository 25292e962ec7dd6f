# Windows (MinGW-w64) and the web (Emscripten): SDL2, SDL2_ttf, SDL2_image
# and FreeType are the static libraries that tools/ports/build-deps.sh built
# into ORBEL2_PORT_PREFIX. They stand in for the pkg-config targets that the
# Linux build links; fontconfig has no counterpart (the faces are bundled,
# orbel2/video/OB_FontBundle.cpp).
set(ORBEL2_PORT_PREFIX "$ENV{ORBEL2_PORT_PREFIX}" CACHE PATH "Where tools/ports/build-deps.sh installed the libraries")
if(NOT EXISTS "${ORBEL2_PORT_PREFIX}/lib/libSDL2.a")
  message(FATAL_ERROR "No SDL2 in ORBEL2_PORT_PREFIX (${ORBEL2_PORT_PREFIX}); run tools/ports/build-deps.sh")
endif()

set(ORBEL2_PORT_LIB "${ORBEL2_PORT_PREFIX}/lib")
# port_library(NAME FILE DEPENDENCIES...): a static library of the prefix and
# what must be linked after it.
function(port_library name file)
  add_library(Orbel2Port::${name} STATIC IMPORTED)
  set_target_properties(Orbel2Port::${name} PROPERTIES IMPORTED_LOCATION "${ORBEL2_PORT_LIB}/${file}"
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()
if(WIN32)
  set(ORBEL2_PORT_SYSTEM_LIBRARIES m user32 gdi32 winmm imm32 ole32 oleaut32 version uuid advapi32 setupapi shell32
    dinput8)
endif()
port_library(SDL2 libSDL2.a ${ORBEL2_PORT_SYSTEM_LIBRARIES})
port_library(freetype libfreetype.a)
port_library(SDL2_ttf libSDL2_ttf.a Orbel2Port::freetype Orbel2Port::SDL2)
port_library(SDL2_image libSDL2_image.a Orbel2Port::SDL2)

add_library(PkgConfig::SDL2 INTERFACE IMPORTED)
target_include_directories(PkgConfig::SDL2 INTERFACE "${ORBEL2_PORT_PREFIX}/include/SDL2")
target_link_libraries(PkgConfig::SDL2 INTERFACE Orbel2Port::SDL2)
add_library(PkgConfig::SDL2_TTF INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SDL2_TTF INTERFACE Orbel2Port::SDL2_ttf)
add_library(PkgConfig::SDL2_IMAGE INTERFACE IMPORTED)
target_link_libraries(PkgConfig::SDL2_IMAGE INTERFACE Orbel2Port::SDL2_image)
add_library(PkgConfig::FONTCONFIG INTERFACE IMPORTED)

if(WIN32)
  # One self-contained program: the C and C++ runtimes linked in, only
  # system DLLs imported. A console program, so that --help, --replay and
  # the start-up errors reach the terminal; the window opens all the same.
  add_link_options(-static -static-libgcc -static-libstdc++ -mconsole)
elseif(EMSCRIPTEN)
  # Exceptions are thrown and caught across the engine; Debian's Emscripten
  # has the libraries for them in its cache. Its libc++ lacks a few C++20
  # pieces the engine uses: web/OB_WebCompat.h fills them in.
  add_compile_options(-fexceptions "SHELL:-include ${CMAKE_CURRENT_SOURCE_DIR}/web/OB_WebCompat.h")
  add_link_options(-fexceptions)
endif()
