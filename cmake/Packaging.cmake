# The Debian package: the program with its desktop entry and icon, orn10ctl
# (the same from a shell, with its manual page) and the instrument
# simulator.  In a Release build directory:
#   cmake --build . && cpack -G DEB
# gives orn10util_<version>_<arch>.deb; its library dependencies are found
# by dpkg-shlibdeps (package dpkg-dev).

add_subdirectory(${PROJECT_SOURCE_DIR}/resources ${PROJECT_BINARY_DIR}/resources)

set(ORN10_PACKAGE_MAINTAINER "ORN10 Util developers <orn10util@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orn10util)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORN10_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service utility for ORN10 gas detectors over MODBUS RTU")
# Wrapped for the package's control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "One window that talks to one ORN10 gas detector at a time over a serial\n"
  "line as a MODBUS RTU master: it reads the instrument's readings once or\n"
  "every two seconds, writes its alarm thresholds, calibration gas and\n"
  "current output, calibrates and zeroes the concentration reading, drives\n"
  "the current output and searches the line for instruments.\n"
  "\n"
  "The port list shows the serial ports the machine has, USB RS-485\n"
  "adapters by product and serial number, and is read again each time it\n"
  "is opened; an adapter is opened by its /dev/serial/by-id name.  A port\n"
  "that cannot be opened is reported with the reason (e.g. not in the\n"
  "dialout group).  Scripts name ports with ORN10_COM<n>, shown as COM<n>.\n"
  "\n"
  "A guided check and calibration (bump test, zero, span) watches the\n"
  "reading settle on a zoomed trend and offers zero and span only when it\n"
  "is stable.  Every session and every write is kept in service records\n"
  "(SQLite on the laptop, optionally a PostgreSQL server for a team), with a\n"
  "history of due dates, CSV export and a calibration certificate as PDF.\n"
  "\n"
  "The package also holds orn10ctl, which does the same from a shell or a\n"
  "script (read, watch, write, calibrate, scan the line; JSON and CSV\n"
  "output), and orn10sim, a simulator of the instruments on a\n"
  "pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORN10_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(ORN10_GUI)
  # Qt only recommends its platform plugins; without them no window opens.
  # Its translations put its own texts (standard buttons, file dialog) in
  # the program's language.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
endif()

include(CPack)
