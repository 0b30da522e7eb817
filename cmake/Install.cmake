# Installed layout on Linux (cmake --install, the Debian package): the two
# programs sit in a private folder with what they look for beside themselves
# (STYLE/ and help/ next to the program, the simulator libraries in ../lib),
# and /usr/bin holds links to them; Qt's applicationDirPath() follows the
# link to that folder. The board-link library, its header and the Python
# module are public.
if(WIN32 OR NOT TARGET rar4120e-evkit OR NOT TARGET rar4120e-cli)
    return()
endif()
include(GNUInstallDirs)

set(EVKIT_PRIVATE_DIR lib/rar4120e-evkit)
install(TARGETS rar4120e-evkit rar4120e-cli RUNTIME DESTINATION ${EVKIT_PRIVATE_DIR}/bin)
install(FILES ${PROJECT_SOURCE_DIR}/STYLE/stylesheet.qss DESTINATION ${EVKIT_PRIVATE_DIR}/bin/STYLE)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help/commands.html
        DESTINATION ${EVKIT_PRIVATE_DIR}/bin/help)
if(TARGET podlink-d2xx)
    # The D2XX stand-in finds the simulator core beside itself.
    set_target_properties(podlink-d2xx PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS podlink-d2xx podsim LIBRARY DESTINATION ${EVKIT_PRIVATE_DIR}/lib)
endif()
foreach(program rar4120e-evkit rar4120e-cli)
    install(CODE "
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(CREATE_LINK ../${EVKIT_PRIVATE_DIR}/bin/${program}
             \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" SYMBOLIC)")
endforeach()

install(TARGETS rerodada LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/QtShared/RERODADA/rerodada.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/python/rerodada.py DESTINATION lib/python3/dist-packages)

set(EVKIT_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging/linux)
install(FILES ${EVKIT_PACKAGING_DIR}/rar4120e-evkit.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/images/rar4120e.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME rar4120e-evkit.svg)
install(FILES ${EVKIT_PACKAGING_DIR}/60-rar4120e-evkit.rules DESTINATION lib/udev/rules.d)
