# The main window, the About/splash dialog and the console widgets, in a
# library that the tests link too, and the program built on it.
if(TARGET evkit_pages)
    add_library(evkit_window STATIC
        ${CMAKE_CURRENT_LIST_DIR}/MainWindow.cpp
        ${CMAKE_CURRENT_LIST_DIR}/MainWindow.h
        ${CMAKE_CURRENT_LIST_DIR}/MainWindow.ui
        ${CMAKE_CURRENT_LIST_DIR}/DlgAbout.cpp
        ${CMAKE_CURRENT_LIST_DIR}/DlgAbout.h
        ${CMAKE_CURRENT_LIST_DIR}/DlgAbout.ui
        ${CMAKE_CURRENT_LIST_DIR}/HelpFile.cpp
        ${CMAKE_CURRENT_LIST_DIR}/HelpFile.h
        ${CMAKE_CURRENT_LIST_DIR}/AutoReadControl.cpp
        ${CMAKE_CURRENT_LIST_DIR}/AutoReadControl.h
        ${CMAKE_CURRENT_LIST_DIR}/BoardSearch.cpp
        ${CMAKE_CURRENT_LIST_DIR}/BoardSearch.h
        ${CMAKE_CURRENT_LIST_DIR}/RegisterFile.cpp
        ${CMAKE_CURRENT_LIST_DIR}/RegisterFile.h
        ${CMAKE_CURRENT_LIST_DIR}/RegisterTips.cpp
        ${CMAKE_CURRENT_LIST_DIR}/RegisterTips.h
        ${CMAKE_CURRENT_LIST_DIR}/SimulatorCheck.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SimulatorCheck.h
        ${CMAKE_CURRENT_LIST_DIR}/ScriptRunner.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ScriptRunner.h
        ${CMAKE_CURRENT_LIST_DIR}/StatusBar.cpp
        ${CMAKE_CURRENT_LIST_DIR}/StatusBar.h
        ${CMAKE_CURRENT_LIST_DIR}/StatusLabel.cpp
        ${CMAKE_CURRENT_LIST_DIR}/StatusLabel.h
        ${CMAKE_CURRENT_LIST_DIR}/WindowPlacement.cpp
        ${CMAKE_CURRENT_LIST_DIR}/WindowPlacement.h
        ${PROJECT_SOURCE_DIR}/console/ConsoleBox.cpp
        ${PROJECT_SOURCE_DIR}/console/ConsoleBox.h
        ${PROJECT_SOURCE_DIR}/console/ConsoleBox.ui
        ${PROJECT_SOURCE_DIR}/console/I2CCommand.cpp
        ${PROJECT_SOURCE_DIR}/console/I2CCommand.h
        ${PROJECT_SOURCE_DIR}/console/I2CCommand.ui
        ${PROJECT_SOURCE_DIR}/console/CommLog.cpp
        ${PROJECT_SOURCE_DIR}/console/CommLog.h)
    target_include_directories(evkit_window PUBLIC ${CMAKE_CURRENT_LIST_DIR}
                               ${PROJECT_SOURCE_DIR}/console)
    target_link_libraries(evkit_window PUBLIC evkit_pages evkit_core Qt5::Widgets ${CMAKE_DL_LIBS})

    # A windowed program on Windows (Qt's WinMain calls main): no console
    # opens beside the window, and none can end it without closeEvent.
    add_executable(rar4120e-evkit WIN32 ${PROJECT_SOURCE_DIR}/app/main.cpp)
    target_link_libraries(rar4120e-evkit PRIVATE evkit_window)
    target_compile_definitions(rar4120e-evkit PRIVATE RAR4120E_VERSION="${PROJECT_VERSION}")
    if(WIN32)
        # Icon, version information and manifest. Where a toolchain links a
        # default manifest (default-manifest.o), the linker drops it for this one.
        add_windows_resources(rar4120e-evkit "RAR4120E EV Kit control program" ON)
    endif()

    # The command reference lives beside the program, where the Help action
    # looks for it.
    add_custom_command(TARGET rar4120e-evkit POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:rar4120e-evkit>/help
        COMMAND ${CMAKE_COMMAND} -E copy_if_different
                ${PROJECT_SOURCE_DIR}/docs/help/commands.html
                $<TARGET_FILE_DIR:rar4120e-evkit>/help/commands.html)
endif()
