# The two RAR4120E register pages, the images they and the dialogs use, and
# the style sheet the program loads from beside itself.

# The images are compiled into objects that every program linking the pages
# receives directly: a resource inside a static library would be dropped by
# the linker, as nothing refers to it.
add_library(evkit_images OBJECT ${PROJECT_SOURCE_DIR}/images/images.qrc)
target_link_libraries(evkit_images PRIVATE Qt5::Core)

add_library(evkit_pages STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/frmMainPage.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/frmMainPage.h
    ${CMAKE_CURRENT_SOURCE_DIR}/frmMainPage.ui
    ${CMAKE_CURRENT_SOURCE_DIR}/frmMainPage2.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/frmMainPage2.h
    ${CMAKE_CURRENT_SOURCE_DIR}/frmMainPage2.ui)
target_include_directories(evkit_pages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(evkit_pages PUBLIC evkit_core Qt5::Widgets)
target_sources(evkit_pages INTERFACE $<TARGET_OBJECTS:evkit_images>)
add_dependencies(evkit_pages evkit_images)

set(EVKIT_STYLESHEET_OUT ${CMAKE_BINARY_DIR}/bin/STYLE/stylesheet.qss)
add_custom_command(OUTPUT ${EVKIT_STYLESHEET_OUT}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${PROJECT_SOURCE_DIR}/STYLE/stylesheet.qss ${EVKIT_STYLESHEET_OUT}
    DEPENDS ${PROJECT_SOURCE_DIR}/STYLE/stylesheet.qss
    COMMENT "Copying the style sheet beside the program")
add_custom_target(evkit_stylesheet ALL DEPENDS ${EVKIT_STYLESHEET_OUT})
add_dependencies(evkit_pages evkit_stylesheet)

# Renders the pages for scripts/screenshot-pages.sh, a script of the Linux build.
if(TARGET podsim AND NOT WIN32)
    add_executable(pageshot ${PROJECT_SOURCE_DIR}/tools/pageshot.cpp)
    target_link_libraries(pageshot PRIVATE evkit_pages podsim ${CMAKE_DL_LIBS})
    # It reaches the simulated board through the D2XX stand-in.
    add_dependencies(pageshot podlink-d2xx)
endif()
