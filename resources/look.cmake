# The look: application icon, hand cursor, skin and desktop entry. The icon and the
# cursor are drawn at build time from the sources under icon/ and cursor/.
find_package(Qt6 REQUIRED COMPONENTS Svg)

add_subdirectory(artwork)

# The program looks for its skin and cursor in its own folder, so they are put
# beside the built executable as well as installed beside it.
set(SCRIVANE_PROGRAM_BUILD_DIR ${CMAKE_BINARY_DIR})

# A sanitizer build must not fail the build on what Qt leaves behind at exit.
set(look_artwork ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:scrivane_artwork>)
set(look_icon_small ${CMAKE_CURRENT_SOURCE_DIR}/icon/scrivane-small.svg)
set(look_icon_large ${CMAKE_CURRENT_SOURCE_DIR}/icon/scrivane.svg)
set(look_hand_drawing ${CMAKE_CURRENT_SOURCE_DIR}/cursor/hand-pointer.xpm)
set(look_skin_source ${CMAKE_CURRENT_SOURCE_DIR}/skin/x/o.cjs)

set(SCRIVANE_ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/icon/scrivane.ico)
add_custom_command(OUTPUT ${SCRIVANE_ICON_FILE}
    COMMAND ${look_artwork} icon ${look_icon_small} ${look_icon_large} ${SCRIVANE_ICON_FILE}
    DEPENDS scrivane_artwork ${look_icon_small} ${look_icon_large}
    COMMENT "Drawing the application icon"
    VERBATIM)

set(SCRIVANE_HICOLOR_DIR ${CMAKE_CURRENT_BINARY_DIR}/hicolor)
set(SCRIVANE_HICOLOR_SIZES 16 22 24 32 48 64 128 256)
set(look_hicolor_pictures)
foreach(size IN LISTS SCRIVANE_HICOLOR_SIZES)
    list(APPEND look_hicolor_pictures ${SCRIVANE_HICOLOR_DIR}/${size}x${size}/apps/scrivane.png)
endforeach()
add_custom_command(OUTPUT ${look_hicolor_pictures}
    COMMAND ${look_artwork} hicolor ${look_icon_small} ${look_icon_large} ${SCRIVANE_HICOLOR_DIR} scrivane
    DEPENDS scrivane_artwork ${look_icon_small} ${look_icon_large}
    COMMENT "Drawing the desktop icons"
    VERBATIM)

set(SCRIVANE_CURSOR_FILE ${SCRIVANE_PROGRAM_BUILD_DIR}/HAND-M.CUR)
add_custom_command(OUTPUT ${SCRIVANE_CURSOR_FILE}
    COMMAND ${look_artwork} cursor ${look_hand_drawing} ${SCRIVANE_CURSOR_FILE}
    DEPENDS scrivane_artwork ${look_hand_drawing}
    COMMENT "Drawing the hand cursor"
    VERBATIM)

# The skin is a Qt style sheet. Its odd name, "o.cjs" in a folder "x" beside the
# program, is the name the program looks for (app/Skin.cpp), kept from the program's
# first design so that skins made for it still apply.
set(SCRIVANE_SKIN_FILE ${SCRIVANE_PROGRAM_BUILD_DIR}/x/o.cjs)
add_custom_command(OUTPUT ${SCRIVANE_SKIN_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SCRIVANE_PROGRAM_BUILD_DIR}/x
    COMMAND ${CMAKE_COMMAND} -E copy ${look_skin_source} ${SCRIVANE_SKIN_FILE}
    DEPENDS ${look_skin_source}
    COMMENT "Putting the skin beside the program"
    VERBATIM)

# The skin's small pictures (the date picker's arrow, the calendar's) are built
# into the program, where the skin finds them as :/scrivane/skin/NAME.png.
set(look_skin_picture_dir ${CMAKE_CURRENT_BINARY_DIR}/skin)
set(look_skin_pictures)
foreach(drawing arrow-down:10 arrow-down-light:10 arrow-left-light:12 arrow-right-light:12)
    string(REPLACE ":" ";" drawing ${drawing})
    list(GET drawing 0 name)
    list(GET drawing 1 size)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/skin/images/${name}.svg)
    math(EXPR double_size "${size} * 2")
    add_custom_command(
        OUTPUT ${look_skin_picture_dir}/${name}.png ${look_skin_picture_dir}/${name}@2x.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${look_skin_picture_dir}
        COMMAND ${look_artwork} picture ${source} ${size} ${look_skin_picture_dir}/${name}.png
        COMMAND ${look_artwork} picture ${source} ${double_size} ${look_skin_picture_dir}/${name}@2x.png
        DEPENDS scrivane_artwork ${source}
        VERBATIM)
    list(APPEND look_skin_pictures ${look_skin_picture_dir}/${name}.png ${look_skin_picture_dir}/${name}@2x.png)
endforeach()

add_custom_target(scrivane_look_files ALL
    DEPENDS ${SCRIVANE_ICON_FILE} ${look_hicolor_pictures} ${SCRIVANE_CURSOR_FILE} ${SCRIVANE_SKIN_FILE})

qt_add_resources(scrivane_app scrivane_icon
    PREFIX /scrivane
    BASE ${CMAKE_CURRENT_BINARY_DIR}/icon
    FILES ${SCRIVANE_ICON_FILE})
qt_add_resources(scrivane_app scrivane_skin_pictures
    PREFIX /scrivane/skin
    BASE ${look_skin_picture_dir}
    FILES ${look_skin_pictures})

# What the install rules of cmake/Packaging.cmake take from here.
set(SCRIVANE_LOOK_CURSOR ${SCRIVANE_CURSOR_FILE} CACHE INTERNAL "")
set(SCRIVANE_LOOK_SKIN ${SCRIVANE_SKIN_FILE} CACHE INTERNAL "")
set(SCRIVANE_LOOK_HICOLOR_DIR ${SCRIVANE_HICOLOR_DIR} CACHE INTERNAL "")
set(SCRIVANE_LOOK_HICOLOR_SIZES ${SCRIVANE_HICOLOR_SIZES} CACHE INTERNAL "")
set(SCRIVANE_LOOK_SCALABLE_ICON ${look_icon_large} CACHE INTERNAL "")
set(SCRIVANE_LOOK_DESKTOP_FILE ${CMAKE_CURRENT_SOURCE_DIR}/desktop/scrivane.desktop CACHE INTERNAL "")
