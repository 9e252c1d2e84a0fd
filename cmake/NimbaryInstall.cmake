# Installation (cmake --install, with the GNUInstallDirs layout) and the
# Debian package (cpack). The programs find their data relative to their own
# folder, so an installed tree works from any prefix.

set(NIMBARY_APP_ID org.nimbary.Nimbary)
set(NIMBARY_LINUX ${NIMBARY_RESOURCES}/linux)
set(NIMBARY_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/nimbary)

foreach(program IN ITEMS nimbary nimbary-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# The main.ini template the first start copies into the data folder, and the
# database schema (compiled into the programs too; here for anyone who wants
# to make or check a Nimbary.db by hand).
install(FILES ${NIMBARY_RESOURCES}/main.ini ${NIMBARY_RESOURCES}/schema.sql
        DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbary)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${NIMBARY_DOCDIR})

# The station for the user at the seat, without root. udev reads
# /usr/lib/udev/rules.d; from another prefix the README's copy applies. The
# rule for a machine without a seat gives a group access, so it is only
# shipped, for the owner who asks for it to copy into /etc/udev/rules.d.
install(FILES ${NIMBARY_LINUX}/70-nimbary-station.rules DESTINATION lib/udev/rules.d)
install(FILES ${NIMBARY_LINUX}/71-nimbary-station-group.rules
        DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbary)

# The menu entry, the software-centre entry and the icons.
install(FILES ${NIMBARY_LINUX}/${NIMBARY_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${NIMBARY_LINUX}/${NIMBARY_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/linux/${NIMBARY_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/linux/${NIMBARY_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(NIMBARY_ICON_SVG ${NIMBARY_LINUX}/${NIMBARY_APP_ID}.svg)
install(FILES ${NIMBARY_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(NIMBARY_RSVG_CONVERT rsvg-convert)
if(NIMBARY_RSVG_CONVERT)
    set(icons)
    foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
        set(dir ${PROJECT_BINARY_DIR}/linux/icons/${size}x${size})
        add_custom_command(OUTPUT ${dir}/${NIMBARY_APP_ID}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${NIMBARY_RSVG_CONVERT} -w ${size} -h ${size} ${NIMBARY_ICON_SVG}
                    -o ${dir}/${NIMBARY_APP_ID}.png
            DEPENDS ${NIMBARY_ICON_SVG} VERBATIM)
        list(APPEND icons ${dir}/${NIMBARY_APP_ID}.png)
        install(FILES ${dir}/${NIMBARY_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(nimbary_icons ALL DEPENDS ${icons})
else()
    message(WARNING "rsvg-convert not found (scripts/setup.sh installs it): no PNG icons")
endif()

# The download service for a station on a machine without a screen. It names
# nimbary-cli where this build installs it (CMAKE_INSTALL_PREFIX).
set(NIMBARY_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
set(NIMBARY_DOCDIR_FULL ${CMAKE_INSTALL_PREFIX}/${NIMBARY_DOCDIR})
file(READ ${NIMBARY_LINUX}/nimbary-download.service.in unit)
string(REPLACE "@NIMBARY_BINDIR@" "${NIMBARY_BINDIR}" unit "${unit}")
string(REPLACE "@NIMBARY_DOCDIR@" "${NIMBARY_DOCDIR_FULL}" unit "${unit}")
file(WRITE ${PROJECT_BINARY_DIR}/linux/nimbary-download.service "${unit}")
install(FILES ${PROJECT_BINARY_DIR}/linux/nimbary-download.service DESTINATION lib/systemd/user)

# The ZQ0093 plug-in for host programs, loaded with dlopen(): the plug-in
# and the station-driver libraries it calls, in a folder of their own (they
# find each other there), its header, its pkg-config file, and the demo host,
# which loads the plug-in from its own folder and so lives there as well,
# with a link in the program folder. Each is installed when its target exists.
set(NIMBARY_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/nimbary)
foreach(library IN ITEMS ZQ0093 stalink airlink)
    if(TARGET ${library})
        install(TARGETS ${library} LIBRARY DESTINATION ${NIMBARY_PLUGIN_INSTALL_DIR})
    endif()
endforeach()
if(TARGET ZQ0093)
    install(FILES ${PROJECT_SOURCE_DIR}/src/plugin/ZQ0093.h
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    # Relative to the .pc file's own folder, so a moved prefix still answers.
    file(RELATIVE_PATH NIMBARY_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
         ${CMAKE_INSTALL_PREFIX})
    string(REGEX REPLACE "/$" "" NIMBARY_PC_TO_PREFIX "${NIMBARY_PC_TO_PREFIX}")
    configure_file(${NIMBARY_LINUX}/zq0093.pc.in ${PROJECT_BINARY_DIR}/linux/zq0093.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/linux/zq0093.pc
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
if(TARGET zq0093-host)
    install(TARGETS zq0093-host RUNTIME DESTINATION ${NIMBARY_PLUGIN_INSTALL_DIR})
    file(RELATIVE_PATH host_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_PREFIX}/${NIMBARY_PLUGIN_INSTALL_DIR}/zq0093-host)
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zq0093-host\")
        message(STATUS \"Installing: \${link}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(CREATE_LINK ${host_from_bin} \"\${link}\" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")")
endif()

# The Debian package: cpack --preset package gives nimbary_VERSION_amd64.deb.
# Its dependencies are those of the shared libraries the programs link
# (dpkg-shlibdeps); only what is loaded at run time without being linked is
# named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbary)
set(CPACK_PACKAGE_VENDOR "The Nimbary developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion for a USB home weather station")
set(CPACK_PACKAGE_DESCRIPTION
    "Nimbary shows the live readings of a home weather station attached over USB, "
    "reads and writes its settings, alarms and max/min values, and downloads its "
    "history memory into a local database for browsing, charting and export. "
    "nimbary-cli does the download without a window, and a systemd user unit runs "
    "it for a station on a machine without a screen.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "The Nimbary developers <developers@nimbary.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://nimbary.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plug-in's own libraries, inside the package being made.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ".${CMAKE_INSTALL_PREFIX}/${NIMBARY_PLUGIN_INSTALL_DIR}")
# Qt's platform plug-ins (the window system) are loaded, not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The display fonts and Qt's own Chinese texts; the program runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-wqy-zenhei, qt6-translations-l10n")
include(CPack)
