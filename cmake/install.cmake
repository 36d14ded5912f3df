# Installing on Linux (cmake --install) and the Debian package (cpack -G DEB).
# Included from the top-level CMakeLists.txt after the targets exist.
#
#   bin/                 quillon, quillon-script, quillon-demo-host
#   lib/                 libquillon.so
#   lib/pkgconfig/       quillon.pc
#   include/quillon/     quillon.h and the headers it includes, in the tree's layout
#   share/quillon/       quillon100.fon and its licence (quillon finds it from bin/)
#   share/doc/quillon/   README.md
#
# The programs find the library through RPATH $ORIGIN/../lib, so an installed
# tree works wherever it is put and from any working directory.

include(GNUInstallDirs)

file(RELATIVE_PATH QUILLON_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(quillon_exe quillon-script PROPERTIES INSTALL_RPATH "$ORIGIN/${QUILLON_BIN_TO_LIB}")

install(TARGETS quillon_exe quillon-script quillon-demo-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillon LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

# quillon.h and the headers it includes (tests/install_test.sh compiles an
# embedding program against the installed tree: a missing one fails it).
set(QUILLON_PUBLIC_HEADERS
  quillon.h quillon_api.h
  app/shell.h
  embed/embedding.h
  net/connection.h net/socket_io.h net/telnet.h net/tn3270e_session.h
  platform/win32.h platform/posix/win32_posix.h platform/posix/winsock_posix.h
  terminal/comm_tcp.h terminal/display.h terminal/states.h
  tn3270/ebcdic.h tn3270/model_colors.h tn3270/model_screen.h tn3270/screen_model.h tn3270/terminal_model.h
  ui/center_wnd.h ui/color_dialog.h ui/menu_commands.h
  vt100/nvt_screen.h vt100/vt100_parser.h)
foreach(header IN LISTS QUILLON_PUBLIC_HEADERS)
  get_filename_component(subdir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/src/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillon/${subdir})
endforeach()

# pkg-config: relative to the .pc file, so that a tree installed under any prefix works.
file(RELATIVE_PATH QUILLON_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QUILLON_PC_TO_PREFIX "${QUILLON_PC_TO_PREFIX}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/quillon.pc CONTENT [[
prefix=${pcfiledir}/@QUILLON_PC_TO_PREFIX@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@CMAKE_INSTALL_INCLUDEDIR@/quillon

Name: quillon
Description: Quillon's terminal library for embedding programs (TN3270 and VT100)
Version: @PROJECT_VERSION@
Cflags: -I${includedir}
Libs: -L${libdir} -lquillon
]] @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/quillon.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${QUILLON_FONT_FILE} ${QUILLON_FONT_LICENSE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: the same files under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Telnet terminal emulator: IBM 3270 (TN3270) and DEC VT100")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Quillon talks to one host at a time as an IBM 3270 display station or a DEC VT100, in a terminal window. "
       "quillon-script drives it from programs through actions on standard input; libquillon.so embeds it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
find_program(QUILLON_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILLON_DPKG_SHLIBDEPS)
  # Dependencies from the libraries the programs link; libquillon.so is found in the package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_LIBDIR})
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libssl3, libncursesw6, libtinfo6")
endif()
include(CPack)
