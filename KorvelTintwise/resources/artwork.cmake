# The tray program's pictures, drawn at build time from the SVG sources here and compiled in as
# ":/images/...", and its acknowledgements text as ":/acknowledgements/acknowledgements.txt".
# Included from KorvelTintwise/CMakeLists.txt (the custom commands must share the target's folder).
find_package(Qt6 REQUIRED COMPONENTS Svg)

set(artwork_source ${CMAKE_CURRENT_SOURCE_DIR}/resources)
set(artwork_images ${CMAKE_CURRENT_BINARY_DIR}/artwork/images)
set(artwork_files)
# The tools draw text; no display, and no leak report from a sanitizer build of them.
set(artwork_env ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0)

# korvel_artwork(SVG PATTERN SIZES s... [COLOR c]): PATTERN is the path below :/images, with
# "$dimension$" standing for each square size s; a size "WxH" names one picture of that size.
function(korvel_artwork svg pattern)
  cmake_parse_arguments(ARG "" "COLOR" "SIZES" ${ARGN})
  set(targets)
  set(outputs)
  foreach(size IN LISTS ARG_SIZES)
    if(size MATCHES "x")
      set(dimensions ${size})
      set(name ${pattern})
    else()
      set(dimensions ${size}x${size})
      string(REPLACE "$dimension$" ${size} name ${pattern})
    endif()
    list(APPEND targets ${dimensions}:${artwork_images}/${name})
    list(APPEND outputs ${artwork_images}/${name})
  endforeach()
  set(color)
  if(ARG_COLOR)
    set(color --color ${ARG_COLOR})
  endif()
  get_filename_component(directory ${artwork_images}/${pattern} DIRECTORY)
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${directory}
    COMMAND ${artwork_env} $<TARGET_FILE:svgraster> ${color} ${artwork_source}/${svg} ${targets}
    DEPENDS svgraster ${artwork_source}/${svg}
    VERBATIM)
  set(artwork_files ${artwork_files} ${outputs} PARENT_SCOPE)
endfunction()

set(logo_sizes 16 24 32 48 1024)
set(tab_sizes 30 45 60 90 120 150 256)
set(full_screen_sizes 20 30 40 60 80 100 256)
set(plain_tab "#8a8e8e")
set(active_tab "#f3f3f3")

korvel_artwork(icons/icon-logo.svg icons/icon-logo$dimension$x$dimension$.png SIZES ${logo_sizes})
korvel_artwork(icons/icon-logo-warning.svg icons/icon-logo-warning$dimension$x$dimension$.png SIZES ${logo_sizes})
foreach(picture quickselection preferences close)
  korvel_artwork(Menu/${picture}_icon.svg Dark/Menu/${picture}_icon_$dimension$x$dimension$.png SIZES 256)
endforeach()
foreach(picture about preview profile settings)
  korvel_artwork(Preferences/${picture}_icon.svg Dark/Preferences/${picture}_icon_$dimension$x$dimension$.png
    SIZES ${tab_sizes} COLOR ${plain_tab})
  korvel_artwork(Preferences/${picture}_icon.svg Dark/Preferences/${picture}_icon_active_$dimension$x$dimension$.png
    SIZES ${tab_sizes} COLOR ${active_tab})
endforeach()
foreach(picture full_screen back_to_window)
  korvel_artwork(FullScreen/${picture}_icon.svg Dark/FullScreen/${picture}_icon_$dimension$x$dimension$.png
    SIZES ${full_screen_sizes})
endforeach()
korvel_artwork(Widgets/checked_icon.svg Dark/Widgets/checked_icon_256x256.png SIZES 256x256)
korvel_artwork(Widgets/combo_box_dropdown_arrow.svg Dark/Widgets/combo_box_dropdown_arrow_32x32.png SIZES 32x32)
korvel_artwork(Widgets/radio_button_checked.svg Dark/Widgets/radio_button_checked_16x16.png SIZES 16x16)
korvel_artwork(Widgets/radio_button_unchecked.svg Dark/Widgets/radio_button_unchecked_16x16.png SIZES 16x16)
korvel_artwork(Preferences/Korvel.svg Dark/Preferences/Korvel.png SIZES 68x22)
korvel_artwork(Preferences/Hueberg.svg Dark/Preferences/Hueberg.png SIZES 80x22)
korvel_artwork(Preview.svg Preview.tif SIZES 600x400)

# The CIE 1931 2-degree colour-matching functions of Debian's colord-data.
set(KORVEL_CIE_TABLE /usr/share/colord/cmf/CIE1931-2deg-XYZ.cmf CACHE FILEPATH
  "CIE 1931 2-degree colour-matching functions (CGATS) the gamut diagram is drawn from")
if(NOT EXISTS ${KORVEL_CIE_TABLE})
  message(FATAL_ERROR "${KORVEL_CIE_TABLE} not found (Debian package colord-data)")
endif()
add_custom_command(OUTPUT ${artwork_images}/Dark/Preferences/Gamut.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${artwork_images}/Dark/Preferences
  COMMAND ${artwork_env} $<TARGET_FILE:gamutchart> ${KORVEL_CIE_TABLE} ${artwork_images}/Dark/Preferences/Gamut.png
  DEPENDS gamutchart ${KORVEL_CIE_TABLE}
  VERBATIM)
list(APPEND artwork_files ${artwork_images}/Dark/Preferences/Gamut.png)

set_source_files_properties(${artwork_source}/Preferences/warning_icon_20x20.svg
  PROPERTIES QT_RESOURCE_ALIAS Dark/Preferences/warning_icon_20x20.svg)
qt_add_resources(KorvelTintwiseLib artwork PREFIX /images BASE ${artwork_images}
  FILES ${artwork_files} ${artwork_source}/Preferences/warning_icon_20x20.svg)

# The Debian copyright files of the libraries the program links.
set(acknowledgements ${CMAKE_CURRENT_BINARY_DIR}/artwork/acknowledgements.txt)
add_custom_command(OUTPUT ${acknowledgements}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${acknowledgements} -P ${artwork_source}/acknowledgements.cmake
  DEPENDS ${artwork_source}/acknowledgements.cmake
  VERBATIM)
qt_add_resources(KorvelTintwiseLib acknowledgements PREFIX /acknowledgements
  BASE ${CMAKE_CURRENT_BINARY_DIR}/artwork FILES ${acknowledgements})
