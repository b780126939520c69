# What the application installs beside its executables, and the Debian packages made from it:
#   qxmover         the service, its window, language files, man page, systemd unit and environment
#                   file, the service account, the desktop and autostart entries;
#   libqxclass<N>   the class library (N its soname's version);
#   libqxclass-dev  its headers, CMake package and pkg-config file.
# Build them with scripts/package.sh (prefix /usr), or: cpack -G DEB in a build tree configured so.

set(QX_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QX_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
set(QX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qxmover)

# systemd's unit and account directories are fixed places, whatever the prefix.
set(QX_UNIT_DIR /lib/systemd/system CACHE PATH "Where the systemd unit is installed")
set(QX_SYSUSERS_DIR /usr/lib/sysusers.d CACHE PATH "Where the service account's sysusers entry is installed")

configure_file(${QX_PACKAGING_DIR}/qxmover.service.in ${QX_PACKAGING_OUT}/qxmover.service @ONLY)
configure_file(${QX_PACKAGING_DIR}/qxmover-session.in ${QX_PACKAGING_OUT}/qxmover-session @ONLY)
configure_file(${QX_PACKAGING_DIR}/qxmover.desktop.in ${QX_PACKAGING_OUT}/qxmover.desktop @ONLY)
configure_file(${QX_PACKAGING_DIR}/qxmover-autostart.desktop.in ${QX_PACKAGING_OUT}/autostart/qxmover.desktop @ONLY)

install(FILES ${QX_PACKAGING_OUT}/qxmover.service DESTINATION ${QX_UNIT_DIR} COMPONENT application)
install(FILES ${QX_PACKAGING_DIR}/qxmover.sysusers DESTINATION ${QX_SYSUSERS_DIR} RENAME qxmover.conf
        COMPONENT application)
install(FILES ${QX_PACKAGING_DIR}/qxmover.default DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default
        RENAME qxmover COMPONENT application)
install(PROGRAMS ${QX_PACKAGING_OUT}/qxmover-session DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/qxmover
        COMPONENT application)
install(FILES ${QX_PACKAGING_OUT}/qxmover.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT application)
install(FILES ${QX_PACKAGING_OUT}/autostart/qxmover.desktop
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart COMPONENT application)
install(FILES ${QX_PACKAGING_DIR}/qxmover.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        COMPONENT application)

# The man page is made from the program's own help, so that it never disagrees with it.
find_program(QX_HELP2MAN help2man)
find_program(QX_GZIP gzip)
if(QX_HELP2MAN AND QX_GZIP AND NOT CMAKE_CROSSCOMPILING)
    add_custom_command(OUTPUT ${QX_PACKAGING_OUT}/qxmover.1.gz
        COMMAND ${QX_HELP2MAN} --no-info --section=1 --name "housekeeping and monitoring of a voice-alarm server"
                --include ${QX_PACKAGING_DIR}/qxmover.h2m --output ${QX_PACKAGING_OUT}/qxmover.1 $<TARGET_FILE:qxmover>
        COMMAND ${QX_GZIP} -9nf ${QX_PACKAGING_OUT}/qxmover.1
        DEPENDS qxmover ${QX_PACKAGING_DIR}/qxmover.h2m
        COMMENT "Man page of qxmover from its help" VERBATIM)
    add_custom_target(qxmover-man ALL DEPENDS ${QX_PACKAGING_OUT}/qxmover.1.gz)
    install(FILES ${QX_PACKAGING_OUT}/qxmover.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT application)
endif()

# Debian wants a copyright file and a compressed changelog in each package's documentation directory.
configure_file(${QX_PACKAGING_DIR}/deb/changelog ${QX_PACKAGING_OUT}/changelog @ONLY)
if(QX_GZIP)
    execute_process(COMMAND ${QX_GZIP} -9nf ${QX_PACKAGING_OUT}/changelog)
endif()
get_target_property(QX_CLASS_SOVERSION qxclass SOVERSION)
set(QX_CLASS_PACKAGE libqxclass${QX_CLASS_SOVERSION})
foreach(pair "application;qxmover" "qxclass;${QX_CLASS_PACKAGE}" "qxclass-dev;libqxclass-dev")
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES ${QX_PACKAGING_DIR}/deb/copyright ${QX_PACKAGING_OUT}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME qxmover)
set(CPACK_PACKAGE_VENDOR "qxmover developers")
set(CPACK_PACKAGE_CONTACT "qxmover developers <maintainers@qxmover.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL application qxclass qxclass-dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The executables link the class library of their own build; its package is named in their Depends.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/lib)

set(CPACK_DEBIAN_APPLICATION_PACKAGE_NAME qxmover)
set(CPACK_DEBIAN_APPLICATION_PACKAGE_DEPENDS "${QX_CLASS_PACKAGE} (= ${PROJECT_VERSION}), adduser")
set(CPACK_DEBIAN_APPLICATION_PACKAGE_RECOMMENDS "systemd")
set(CPACK_DEBIAN_APPLICATION_PACKAGE_CONTROL_EXTRA
    ${QX_PACKAGING_DIR}/deb/postinst ${QX_PACKAGING_DIR}/deb/prerm ${QX_PACKAGING_DIR}/deb/postrm
    ${QX_PACKAGING_DIR}/deb/conffiles)
set(CPACK_DEBIAN_APPLICATION_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Each description's first line is its package's synopsis.
set(CPACK_COMPONENT_APPLICATION_DESCRIPTION
    "housekeeping and monitoring service of a voice-alarm server
qxmover keeps the directories of a telephone voice-alarm server from filling
up and watches that the server stays healthy: it files each week's statistic
files into week directories, deletes old recordings by rule, checks disk
space, watches job directories, places watchdog test calls and prints a
nightly alarm report. It runs headless under systemd or with a settings
window and tray icon.")

set(CPACK_DEBIAN_QXCLASS_PACKAGE_NAME ${QX_CLASS_PACKAGE})
set(CPACK_DEBIAN_QXCLASS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_QXCLASS_PACKAGE_CONTROL_EXTRA ${QX_PACKAGING_DIR}/deb/triggers)
set(CPACK_COMPONENT_QXCLASS_DESCRIPTION
    "class library of a voice-alarm installation
dBASE tables, files and log files, named pipes and serial ports for the
programs of a voice-alarm installation.")
set(CPACK_DEBIAN_QXCLASS-DEV_PACKAGE_NAME libqxclass-dev)
set(CPACK_DEBIAN_QXCLASS-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_QXCLASS-DEV_PACKAGE_DEPENDS "${QX_CLASS_PACKAGE} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_QXCLASS-DEV_DESCRIPTION
    "class library of a voice-alarm installation (development files)
Headers, CMake package and pkg-config file of the class library for the
programs of a voice-alarm installation.")
include(CPack)
