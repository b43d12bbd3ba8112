# cmake -DOUTPUT=FILE -P acknowledgements.cmake
# Writes the acknowledgements text: the Debian copyright file of each library the tray program
# links or loads, under a heading naming the component.
set(components
  "Qt 6 (Core, GUI, Widgets, Network)|libqt6core6*"
  "Qt 6 Core 5 Compatibility|libqt6core5compat6*"
  "Qt 6 SVG|libqt6svg6*"
  "Qt 6 image format plugins|qt6-image-formats-plugins"
  "log4cplus|liblog4cplus-2*"
  "OpenSSL|libssl3*"
  "Little CMS|liblcms2-2*"
  "libjpeg-turbo|libjpeg62-turbo*"
  "zlib|zlib1g"
  "bzip2|libbz2-1.0"
  "LZMA SDK|lzma-dev")

set(text "Korvel Tintwise uses the following open-source components. Their copyright notices and licence texts follow.\n")
foreach(component IN LISTS components)
  string(REPLACE "|" ";" fields "${component}")
  list(GET fields 0 title)
  list(GET fields 1 package)
  file(GLOB candidates /usr/share/doc/${package}/copyright)
  if(NOT candidates)
    message(FATAL_ERROR "No copyright file for ${title}: /usr/share/doc/${package}/copyright")
  endif()
  list(SORT candidates)
  list(GET candidates 0 copyright)
  file(READ ${copyright} notice)
  string(REPEAT "=" 78 rule)
  string(APPEND text "\n${rule}\n${title}\n${rule}\n\n${notice}")
endforeach()
file(WRITE ${OUTPUT} "${text}")
