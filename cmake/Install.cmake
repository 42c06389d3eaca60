# Where `cmake --install` (and so the Debian package) puts each file: the program, its data
# folder, the desktop entry, the icon theme's icons, the AppStream metainfo, the manual page,
# and the documents a Debian package carries.

# A real release sets these to the project's own home page, AppStream identifier (a reversed
# domain name the project holds) and maintainer.
set(MAREVO_HOMEPAGE "https://marevo.example.org/" CACHE STRING "Project home page")
set(MAREVO_APP_ID "org.example.marevo" CACHE STRING "AppStream component identifier")
set(MAREVO_MAINTAINER "Marevo developers <marevo@example.org>" CACHE STRING
    "Package maintainer, as name <address>")
set(MAREVO_SCREENSHOT_URL "${MAREVO_HOMEPAGE}view-f.png")
set(MAREVO_FULL_DATADIR ${MAREVO_INSTALL_FULL_DATADIR})

set(dist ${CMAKE_SOURCE_DIR}/dist)
set(staged ${CMAKE_BINARY_DIR}/dist)
configure_file(${dist}/marevo.metainfo.xml.in ${staged}/${MAREVO_APP_ID}.metainfo.xml @ONLY)
configure_file(${dist}/marevo.6 ${staged}/marevo.6 @ONLY)
configure_file(${dist}/changelog.in ${staged}/changelog @ONLY)
# Compressed the way Debian wants them: best compression, no name or time stamp inside.
add_custom_command(
    OUTPUT ${staged}/marevo.6.gz ${staged}/changelog.gz
    COMMAND gzip -9nkf marevo.6 changelog
    DEPENDS ${staged}/marevo.6 ${staged}/changelog
    WORKING_DIRECTORY ${staged}
    COMMENT "Compressing the manual page and the change log")
add_custom_target(installed_documents ALL DEPENDS ${staged}/marevo.6.gz ${staged}/changelog.gz)

install(TARGETS marevo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Debian keeps games in /usr/games, which root's shell and many containers do not search: a link
# in bin finds the game from any shell.
if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin")
    file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/bin ${CMAKE_INSTALL_FULL_BINDIR}/marevo)
    file(MAKE_DIRECTORY ${staged}/bin)
    file(CREATE_LINK ${link_target} ${staged}/bin/marevo SYMBOLIC)
    install(FILES ${staged}/bin/marevo DESTINATION bin)
    # The one warning lintian has for the package, with its reason.
    install(FILES ${dist}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME marevo)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/app/data/HALTEX.BMP ${CMAKE_SOURCE_DIR}/app/data/SPINTEX.BMP
              ${CMAKE_SOURCE_DIR}/app/data/MAREVOP1.HLP
        DESTINATION ${MAREVO_INSTALL_DATADIR})
install(FILES ${dist}/marevo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS MAREVO_ICON_SIZES)
    install(FILES ${CMAKE_BINARY_DIR}/app/icons/marevo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME marevo.png)
endforeach()
install(FILES ${staged}/${MAREVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${staged}/marevo.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${dist}/copyright ${staged}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marevo)
