# The demo program on Windows and in the browser, with its font bundle: the
# files fontconfig picks on Linux for the faces the engine asks for, taken
# from Debian's font packages (fonts-liberation, fonts-dejavu-core) at build
# time into <build>/fonts.
set(ORBEL2_FONT_FILES
  /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
foreach(font IN LISTS ORBEL2_FONT_FILES)
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} is missing: install fonts-liberation and fonts-dejavu-core")
  endif()
  file(COPY ${font} DESTINATION ${CMAKE_BINARY_DIR}/fonts)
endforeach()

set_target_properties(orbel2 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(EMSCRIPTEN)
  # orbel2.html, .js, .wasm and .data (the fonts, at /fonts). The page is
  # web/orbel2.html; Debian's Emscripten 3.1.6 cannot minify HTML.
  set_target_properties(orbel2 PROPERTIES SUFFIX .html)
  set_property(TARGET orbel2 APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/orbel2.html)
  target_link_options(orbel2 PRIVATE
    "SHELL:--shell-file ${CMAKE_CURRENT_SOURCE_DIR}/web/orbel2.html"
    "SHELL:--preload-file ${CMAKE_BINARY_DIR}/fonts@/fonts"
    -sMINIFY_HTML=0 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=0
    "-sEXPORTED_RUNTIME_METHODS=['FS','ccall']"
    "-sEXPORTED_FUNCTIONS=['_main','_OB_Web_Restart','_OB_Web_SessionRunning','_OB_Web_Replay']")

  # Only for measuring the other way of giving the browser its turn: the
  # blocking loop under Emscripten's asyncify (tools/ports/build-web.sh asyncify).
  option(ORBEL2_WEB_ASYNCIFY "Web build: keep the blocking loop, under asyncify (for measurement)" OFF)
  if(ORBEL2_WEB_ASYNCIFY)
    target_compile_definitions(orbel2 PRIVATE ORBEL2_WEB_ASYNCIFY)
    target_link_options(orbel2 PRIVATE -sASYNCIFY)
  endif()
endif()
