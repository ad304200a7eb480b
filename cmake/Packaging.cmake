# Packaging.cmake - where `cmake --install` puts QuorVBoy, and the Debian package and Windows zip CPack makes of it
#
# QuorVBoy reads QuorInfo.cfg and writes QuorVBoy.db beside its resolved
# executable, so the executable and the sample configuration always stay in
# one folder:
#
#   Linux and other POSIX systems
#     <prefix>/lib/quorvboy/QuorVBoy          the program
#     <prefix>/lib/quorvboy/QuorInfo.cfg      the sample group information file
#     <prefix>/bin/QuorVBoy                   -> ../lib/quorvboy/QuorVBoy
#     <prefix>/share/man/man1/QuorVBoy.1.gz   the manual (plain .1 without gzip)
#     <prefix>/share/doc/quorvboy/            README.md, doc/*.md and copyright
#   With QUOR_DEBIAN_LAYOUT (the Debian package) the configuration is the
#   conffile /etc/quorvboy/QuorInfo.cfg, and <prefix>/lib/quorvboy/QuorInfo.cfg
#   links to it, so that an edited configuration survives upgrades; the
#   documentation gains the package's changelog.gz.
#
#   Windows: QuorVBoy.exe, QuorInfo.cfg, README.md, LICENSE and COPYRIGHT.txt
#   together at the top, the guides in doc/.
#
#   cpack -G DEB   QuorVBoy_1.00_<arch>.deb     (tools/package.sh)
#   cpack -G ZIP   QuorVBoy-1.00-win64.zip      (tools/package.sh windows)
#
# copyright is doc/copyright: QuorVBoy's license and those of the libraries
# the package links or the zip carries, in Debian's machine-readable format.

set(QUOR_MAINTAINER "QuorVBoy developers <quorvboy@example.org>" CACHE STRING
    "The Maintainer field of the Debian package: a name and an address in angle brackets")
set(QUOR_SAMPLE_CONFIG ${CMAKE_CURRENT_SOURCE_DIR}/config/QuorInfo.cfg)
set(QUOR_MANUAL ${CMAKE_CURRENT_SOURCE_DIR}/doc/QuorVBoy.1)
set(QUOR_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(QUOR_COPYRIGHT ${CMAKE_CURRENT_SOURCE_DIR}/doc/copyright)
set(QUOR_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
# The guides keep their place below the README, so that its links hold.
file(GLOB QUOR_GUIDES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/doc/*.md)

if(WIN32)
  # One folder: the program directory is wherever the user unpacks the zip.
  install(TARGETS QuorVBoy RUNTIME DESTINATION .)
  install(FILES ${QUOR_SAMPLE_CONFIG} ${QUOR_README} ${QUOR_LICENSE} DESTINATION .)
  install(FILES ${QUOR_COPYRIGHT} DESTINATION . RENAME COPYRIGHT.txt)
  install(FILES ${QUOR_GUIDES} DESTINATION doc)
else()
  set(QUOR_PROGRAM_DIR lib/quorvboy)
  option(QUOR_DEBIAN_LAYOUT
         "Install as the Debian package does: QuorInfo.cfg as /etc/quorvboy/QuorInfo.cfg, linked from the program folder" OFF)

  install(TARGETS QuorVBoy RUNTIME DESTINATION ${QUOR_PROGRAM_DIR})

  # The links are made once in the build tree and installed as links.
  set(link_dir ${CMAKE_CURRENT_BINARY_DIR}/install-links)
  file(MAKE_DIRECTORY ${link_dir})
  file(REMOVE ${link_dir}/QuorVBoy ${link_dir}/QuorInfo.cfg)
  file(CREATE_LINK ../${QUOR_PROGRAM_DIR}/QuorVBoy ${link_dir}/QuorVBoy SYMBOLIC)
  install(FILES ${link_dir}/QuorVBoy DESTINATION bin)

  if(QUOR_DEBIAN_LAYOUT)
    install(FILES ${QUOR_SAMPLE_CONFIG} DESTINATION /etc/quorvboy)
    file(CREATE_LINK /etc/quorvboy/QuorInfo.cfg ${link_dir}/QuorInfo.cfg SYMBOLIC)
    install(FILES ${link_dir}/QuorInfo.cfg DESTINATION ${QUOR_PROGRAM_DIR})
  else()
    install(FILES ${QUOR_SAMPLE_CONFIG} DESTINATION ${QUOR_PROGRAM_DIR})
  endif()

  # The manual, compressed as the distributions keep theirs (-n: no name or
  # time stamp inside, so that every build gives the same bytes).
  find_program(QUOR_GZIP gzip)
  if(QUOR_GZIP)
    set(manual_gz ${CMAKE_CURRENT_BINARY_DIR}/QuorVBoy.1.gz)
    add_custom_command(OUTPUT ${manual_gz}
                       COMMAND ${CMAKE_COMMAND} -E copy ${QUOR_MANUAL} ${CMAKE_CURRENT_BINARY_DIR}/QuorVBoy.1
                       COMMAND ${QUOR_GZIP} -9nf ${CMAKE_CURRENT_BINARY_DIR}/QuorVBoy.1
                       DEPENDS ${QUOR_MANUAL}
                       COMMENT "Compressing the manual page"
                       VERBATIM)
    add_custom_target(quor_manual ALL DEPENDS ${manual_gz})
    install(FILES ${manual_gz} DESTINATION share/man/man1)
  else()
    install(FILES ${QUOR_MANUAL} DESTINATION share/man/man1)
  endif()

  install(FILES ${QUOR_README} DESTINATION share/doc/quorvboy)
  install(FILES ${QUOR_GUIDES} DESTINATION share/doc/quorvboy/doc)
  install(FILES ${QUOR_COPYRIGHT} DESTINATION share/doc/quorvboy RENAME copyright)

  if(QUOR_DEBIAN_LAYOUT)
    # A native package's changelog, dated by SOURCE_DATE_EPOCH where it is set.
    string(TIMESTAMP quor_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/changelog
         "quorvboy (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
         "  * Release ${PROJECT_VERSION}.\n\n"
         " -- ${QUOR_MAINTAINER}  ${quor_date}\n")
    if(QUOR_GZIP)
      execute_process(COMMAND ${QUOR_GZIP} -9n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog
                      OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
      install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION share/doc/quorvboy)
    endif()
  endif()
endif()

# CPack: the same layout, packaged.
set(CPACK_PACKAGE_NAME QuorVBoy)
set(CPACK_PACKAGE_VENDOR "The QuorVBoy developers")
set(CPACK_PACKAGE_CONTACT "${QUOR_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${QUOR_LICENSE})
# The license by name, where a generator has a field for it (the Debian
# package names it in its copyright file).
set(QUOR_LICENSE_NAME MIT)
set(CPACK_RPM_PACKAGE_LICENSE ${QUOR_LICENSE_NAME})
set(CPACK_FREEBSD_PACKAGE_LICENSE ${QUOR_LICENSE_NAME})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "audits, names and sorts a collection of Nintendo Virtual Boy cartridge images")
set(CPACK_PACKAGE_DESCRIPTION
    "QuorVBoy walks the folder that holds a collection of Virtual Boy images,
loose files and ZIP archives, keys each image by its CRC-32 and looks it up in
a built-in catalogue. It writes a scan listing, moves known images under their
catalogue names into group folders chosen by its group information file, and
lists what the collection has, lacks and holds twice. It never overwrites a
file. QuorVBoy is free software under the MIT license.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "QuorVBoy-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "QuorVBoy-${PROJECT_VERSION}-win32")
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

  set(CPACK_DEBIAN_PACKAGE_NAME quorvboy)
  set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")

  find_program(QUOR_DPKG dpkg)
  if(QUOR_DPKG)
    execute_process(COMMAND ${QUOR_DPKG} --print-architecture
                    OUTPUT_VARIABLE quor_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${quor_deb_arch})
    set(CPACK_DEBIAN_FILE_NAME "QuorVBoy_${PROJECT_VERSION}_${quor_deb_arch}.deb")
  else()
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  endif()

  # Depends from the libraries the program really links (zlib, pugixml,
  # libcrypto, the C and C++ runtimes) where dpkg-shlibdeps can tell;
  # otherwise by hand.
  find_program(QUOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(QUOR_FILE file)
  if(QUOR_DPKG_SHLIBDEPS AND QUOR_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, zlib1g, libpugixml1v5, libssl3")
    get_target_property(quor_linked quorcore LINK_LIBRARIES)
    if(quor_linked MATCHES "deflate")
      string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libdeflate0")
    endif()
  endif()

  # Control files: the conffile under /etc, and a postrm that on purge
  # removes the have database a run as root leaves in the program folder.
  # (CONTROL_STRICT_PERMISSION gives the scripts mode 0755, conffiles 0644.)
  set(quor_deb_program_dir ${CPACK_PACKAGING_INSTALL_PREFIX}/${QUOR_PROGRAM_DIR})
  set(quor_control_dir ${CMAKE_CURRENT_BINARY_DIR}/debian-control)
  file(MAKE_DIRECTORY ${quor_control_dir})
  file(WRITE ${quor_control_dir}/postrm
"#!/bin/sh
# postrm - on purge, removes what QuorVBoy wrote into its own folder
set -e
if [ \"$1\" = purge ]; then
    rm -f ${quor_deb_program_dir}/QuorVBoy.db ${quor_deb_program_dir}/QuorVBoy.db.tmp
    rmdir ${quor_deb_program_dir} 2>/dev/null || true
fi
exit 0
")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${quor_control_dir}/postrm)
  if(QUOR_DEBIAN_LAYOUT)
    file(WRITE ${quor_control_dir}/conffiles "/etc/quorvboy/QuorInfo.cfg\n")
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${quor_control_dir}/conffiles)
  else()
    file(REMOVE ${quor_control_dir}/conffiles)
  endif()
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
