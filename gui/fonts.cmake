# The built-in fonts (about 15 MB, listed with their resource names in
# resources/fonts/fonts.qrc) go into the Gui library as a big resource: rcc writes an
# object file directly instead of a huge generated source file that is slow to compile.
if(TARGET Gui)
    get_target_property(_gui_type Gui TYPE)
    if(NOT _gui_type STREQUAL "INTERFACE_LIBRARY")
        qt_add_big_resources(GUI_FONT_RESOURCES ${CMAKE_SOURCE_DIR}/resources/fonts/fonts.qrc)
        target_sources(Gui PRIVATE ${GUI_FONT_RESOURCES})
    endif()
endif()
