# What `cmake --install` puts in place, and the packages CPack makes of it
# (tools/package.sh builds and tries them). Only the program and what a user reads or runs
# beside it are installed: no test, fuzz target or benchmark has an install rule.
#
#   POSIX:    bin/talvo, share/man/man1/talvo.1,
#             share/doc/talvo/{guide.ja.md,LICENSE,examples/{sample.csv,add-check-digits.sh}}
#   Windows:  talvo.exe, guide.ja.md, LICENSE, examples/{sample.csv,add-check-digits.bat},
#             flat, so that the unpacked zip shows talvo.exe first
include(GNUInstallDirs)

if(WIN32)
  set(TALVO_INSTALL_BINDIR .)
  set(TALVO_INSTALL_DOCDIR .)
  set(TALVO_EXAMPLE_SCRIPT examples/add-check-digits.bat)
else()
  set(TALVO_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(TALVO_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/talvo)
  set(TALVO_EXAMPLE_SCRIPT examples/add-check-digits.sh)
  # The manual page carries the version of this build.
  string(TIMESTAMP TALVO_MAN_DATE "%Y-%m-%d" UTC)
  configure_file(docs/talvo.1.in talvo.1 @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/talvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(TARGETS talvo RUNTIME DESTINATION ${TALVO_INSTALL_BINDIR})
install(FILES docs/guide.ja.md LICENSE DESTINATION ${TALVO_INSTALL_DOCDIR})
install(FILES examples/sample.csv DESTINATION ${TALVO_INSTALL_DOCDIR}/examples)
install(PROGRAMS ${TALVO_EXAMPLE_SCRIPT} DESTINATION ${TALVO_INSTALL_DOCDIR}/examples)

# Packages: talvo-<version>-windows-x86_64.zip from the Windows build;
# talvo-<version>-linux-x86_64.tar.gz and talvo_<version>-1_<arch>.deb from the native one.
set(CPACK_PACKAGE_NAME talvo)
set(CPACK_PACKAGE_VENDOR "The talvo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" TALVO_PACKAGE_ARCH)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME talvo-${PROJECT_VERSION}-windows-${TALVO_PACKAGE_ARCH})
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME talvo-${PROJECT_VERSION}-linux-${TALVO_PACKAGE_ARCH})
  set(TALVO_PACKAGE_MAINTAINER "The talvo developers <talvo@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TALVO_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The long description, in lines of at most 80 columns; CPack puts the summary above it.
  string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "talvo reads a comma-separated file in code page 932 (Shift-JIS) line by line"
    "and writes each line with a check digit or check character for the value in"
    "one column: 7DR, 7DSR, 9DR, 9DSR, M10W2, Luhn, M10W3 (JAN/EAN/UPC), M11,"
    "weighted M11, M16 (NW-7/Codabar) or M43 (Code 39). MIT License.")
  # libc6, libgcc-s1 and libstdc++6, at the versions this build was linked against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
