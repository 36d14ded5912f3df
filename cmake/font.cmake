# The screen font file quillon100.fon, made at build time from the Terminus
# Font bitmaps of Debian's xfonts-terminus (SIL Open Font License 1.1) with our
# converter tools/fontgen. It is written next to the program with its licence,
# quillon100.fon.LICENSE.
#
# Included from the top-level CMakeLists.txt. Run as a script (cmake -P) it
# does the single conversion steps: MODE=bdf unpacks one PCF font and converts
# it to BDF; MODE=license writes the licence file.

if(CMAKE_SCRIPT_MODE_FILE)
  if(MODE STREQUAL "bdf")
    # INPUT (.pcf.gz), OUTPUT (.bdf), GZIP, PCF2BDF
    set(pcf "${OUTPUT}.pcf")
    execute_process(COMMAND "${GZIP}" -dc "${INPUT}" OUTPUT_FILE "${pcf}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "cannot unpack ${INPUT}: ${status}")
    endif()
    execute_process(COMMAND "${PCF2BDF}" -o "${OUTPUT}" "${pcf}" RESULT_VARIABLE status)
    file(REMOVE "${pcf}")
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "pcf2bdf failed on ${INPUT}: ${status}")
    endif()
  elseif(MODE STREQUAL "license")
    # OUTPUT, COPYRIGHT (the package's copyright file with the licence), VERSION, SIZES
    file(READ "${COPYRIGHT}" text)
    file(WRITE "${OUTPUT}"
"quillon100.fon is derived from Terminus Font ${VERSION},
files ter-u<size>n_unicode.pcf.gz, pixel sizes ${SIZES}
(size@WxH: that size's glyphs centred in a larger cell, edge pixels extended).
The bitmaps were converted to Windows raster fonts and the faces were renamed
mera_ansi and mera_oem_linedraw; the VT100 scan-line characters 1, 3, 7 and 9,
which the source lacks, were added as horizontal strokes.
The derived font is distributed under the SIL Open Font License 1.1 below,
which covers it as a Modified Version of the Font Software.

Copyright and licence of the source font, as shipped by Debian:
-----------------------------------------------------------------
${text}")
  else()
    message(FATAL_ERROR "font.cmake: unknown MODE \"${MODE}\"")
  endif()
  return()
endif()

# Terminus sizes by pixel height; "16@8x18" is the 16-pixel font padded to an
# 8 x 18 cell. Terminus's own 18-pixel font is 10 wide: the default window lays
# its text out in 8 x 18 cells and asks for a line-drawing font 19 high of its
# natural width, which must then be 8 as well for lines to meet the text cells.
set(QUILLON_FONT_SIZES 12 14 16 16@8x18 20 22 24 28 32)
set(QUILLON_FONT_DIR /usr/share/fonts/X11/misc)
set(QUILLON_FONT_COPYRIGHT /usr/share/doc/xfonts-terminus/copyright)
set(QUILLON_FONT_FILE ${CMAKE_BINARY_DIR}/quillon100.fon)
set(QUILLON_FONT_LICENSE ${CMAKE_BINARY_DIR}/quillon100.fon.LICENSE)
set(QUILLON_FONTGEN_SOURCES ${PROJECT_SOURCE_DIR}/tools/fontgen/fontgen.cpp)

find_program(QUILLON_GZIP gzip)
find_program(QUILLON_PCF2BDF pcf2bdf)
if(NOT QUILLON_GZIP OR NOT QUILLON_PCF2BDF)
  message(FATAL_ERROR "The font file needs gzip and pcf2bdf (tools/install-deps.sh installs them).")
endif()
if(NOT EXISTS ${QUILLON_FONT_COPYRIGHT})
  message(FATAL_ERROR "The font file needs the package xfonts-terminus (tools/install-deps.sh installs it).")
endif()
execute_process(COMMAND dpkg-query -W -f=\${Version} xfonts-terminus
                OUTPUT_VARIABLE QUILLON_FONT_VERSION RESULT_VARIABLE status ERROR_QUIET)
if(status EQUAL 0 AND NOT QUILLON_FONT_VERSION STREQUAL "")
  # Upstream version, then the Debian package's.
  string(REGEX REPLACE "^[0-9]+:" "" upstream "${QUILLON_FONT_VERSION}")
  string(REGEX REPLACE "-[^-]*$" "" upstream "${upstream}")
  set(QUILLON_FONT_VERSION "${upstream} (Debian package xfonts-terminus ${QUILLON_FONT_VERSION})")
else()
  set(QUILLON_FONT_VERSION "(unknown version; Debian package xfonts-terminus)")
endif()

# The converter runs on the build machine: in a cross build it is compiled
# with the host's own C++ compiler.
if(CMAKE_CROSSCOMPILING)
  find_program(QUILLON_HOST_CXX NAMES c++ g++ clang++)
  if(NOT QUILLON_HOST_CXX)
    message(FATAL_ERROR "Building the font file needs a C++ compiler for the build machine (c++ or g++).")
  endif()
  set(QUILLON_FONTGEN ${CMAKE_BINARY_DIR}/fontgen-host/quillon-fontgen)
  add_custom_command(
    OUTPUT ${QUILLON_FONTGEN}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fontgen-host
    COMMAND ${QUILLON_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -o ${QUILLON_FONTGEN} ${QUILLON_FONTGEN_SOURCES}
    DEPENDS ${QUILLON_FONTGEN_SOURCES}
    COMMENT "Building the font converter with the host compiler"
    VERBATIM)
  set(QUILLON_FONTGEN_DEPENDS ${QUILLON_FONTGEN})
else()
  add_executable(quillon-fontgen ${QUILLON_FONTGEN_SOURCES})
  target_compile_features(quillon-fontgen PRIVATE cxx_std_17)
  set(QUILLON_FONTGEN $<TARGET_FILE:quillon-fontgen>)
  set(QUILLON_FONTGEN_DEPENDS quillon-fontgen)
endif()

set(bdf_files)
set(fontgen_inputs)
foreach(entry IN LISTS QUILLON_FONT_SIZES)
  string(REGEX REPLACE "@.*" "" size "${entry}")
  string(REGEX MATCH "@.*" cell "${entry}")
  set(pcf ${QUILLON_FONT_DIR}/ter-u${size}n_unicode.pcf.gz)
  if(NOT EXISTS ${pcf})
    message(FATAL_ERROR "${pcf} is missing (package xfonts-terminus; tools/install-deps.sh installs it).")
  endif()
  set(bdf ${CMAKE_BINARY_DIR}/font/ter-u${size}n.bdf)
  if(NOT bdf IN_LIST bdf_files)
    add_custom_command(
      OUTPUT ${bdf}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/font
      COMMAND ${CMAKE_COMMAND} -DMODE=bdf -DINPUT=${pcf} -DOUTPUT=${bdf}
              -DGZIP=${QUILLON_GZIP} -DPCF2BDF=${QUILLON_PCF2BDF} -P ${CMAKE_CURRENT_LIST_FILE}
      DEPENDS ${pcf} ${CMAKE_CURRENT_LIST_FILE}
      VERBATIM)
    list(APPEND bdf_files ${bdf})
  endif()
  list(APPEND fontgen_inputs ${bdf}${cell})
endforeach()

add_custom_command(
  OUTPUT ${QUILLON_FONT_FILE}
  COMMAND ${QUILLON_FONTGEN} -o ${QUILLON_FONT_FILE} ${fontgen_inputs}
  DEPENDS ${QUILLON_FONTGEN_DEPENDS} ${bdf_files}
  COMMENT "Generating quillon100.fon"
  VERBATIM)

string(REPLACE ";" ", " sizes_text "${QUILLON_FONT_SIZES}")
add_custom_command(
  OUTPUT ${QUILLON_FONT_LICENSE}
  COMMAND ${CMAKE_COMMAND} -DMODE=license -DOUTPUT=${QUILLON_FONT_LICENSE} -DCOPYRIGHT=${QUILLON_FONT_COPYRIGHT}
          -DVERSION=${QUILLON_FONT_VERSION} -DSIZES=${sizes_text} -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS ${QUILLON_FONT_COPYRIGHT} ${CMAKE_CURRENT_LIST_FILE}
  VERBATIM)

add_custom_target(quillon-font ALL DEPENDS ${QUILLON_FONT_FILE} ${QUILLON_FONT_LICENSE})
