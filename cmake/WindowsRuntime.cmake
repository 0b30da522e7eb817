# Puts the DLLs the Windows programs load beside them in bin/: the mingw-w64
# runtime and, for the Qt programs, Qt's libraries, platform plugins and the
# Windows style plugin (without it widgets look like Windows 95).
# Tests under wine and the package both use this folder as it is.
set(RERODADA_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(path "${path}" REALPATH)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "The mingw-w64 runtime ${dll} is missing")
    endif()
    list(APPEND RERODADA_RUNTIME_DLLS "${path}")
endforeach()
file(COPY ${RERODADA_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

if(RERODADA_BUILD_GUI)
    get_target_property(qt_core Qt5::Core IMPORTED_LOCATION_RELEASE)
    get_filename_component(qt_bin "${qt_core}" DIRECTORY)
    get_filename_component(qt_prefix "${qt_bin}" DIRECTORY)
    foreach(module Core Gui Widgets Test)
        list(APPEND RERODADA_RUNTIME_DLLS "${qt_bin}/Qt5${module}.dll")
    endforeach()
    file(COPY ${RERODADA_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    file(COPY "${qt_prefix}/plugins/platforms/qwindows.dll" "${qt_prefix}/plugins/platforms/qoffscreen.dll"
         DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/platforms)
    file(COPY "${qt_prefix}/plugins/styles/qwindowsvistastyle.dll"
         DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/styles)
endif()
