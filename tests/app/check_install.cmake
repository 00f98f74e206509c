# cmake -DBUILD=build-folder -DPREFIX=folder -DCASES=examples/cases -P check_install.cmake
# Installs the build into PREFIX as `cmake --install` does and checks what a desktop needs: both
# programs run from there, the desktop entry passes desktop-file-validate and names the program
# and its icon, and the icon is an SVG picture.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${out}${err}")
endif()

set(entry ${PREFIX}/share/applications/aphcalc.desktop)
set(icon ${PREFIX}/share/icons/hicolor/scalable/apps/aphcalc.svg)
foreach(installed ${PREFIX}/bin/aphcalc ${PREFIX}/bin/aphcalc-cli ${entry} ${icon})
  if(NOT EXISTS ${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

execute_process(COMMAND ${PREFIX}/bin/aphcalc --version OUTPUT_VARIABLE version
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^aphcalc [0-9]")
  message(FATAL_ERROR "the installed aphcalc does not run: ${status} ${version}")
endif()
execute_process(COMMAND ${PREFIX}/bin/aphcalc-cli rate ${CASES}/default-window.json --format csv
                OUTPUT_VARIABLE rated RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT rated MATCHES "default-window.json,[^,]*,ok,")
  message(FATAL_ERROR "the installed aphcalc-cli does not rate: ${status}\n${rated}")
endif()

find_program(validate desktop-file-validate)
if(NOT validate)
  message(FATAL_ERROR "desktop-file-validate is missing (Debian package desktop-file-utils)")
endif()
execute_process(COMMAND ${validate} ${entry} OUTPUT_VARIABLE said ERROR_VARIABLE said
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT said STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate refuses the entry (${status}):\n${said}")
endif()
file(READ ${entry} text)
foreach(line "Type=Application" "Name=板式空预器热力计算" "Exec=aphcalc" "Icon=aphcalc")
  string(FIND "\n${text}" "\n${line}\n" found)
  if(found LESS 0)
    message(FATAL_ERROR "the desktop entry lacks the line ${line}")
  endif()
endforeach()
string(FIND "\n${text}" "\nCategories=Science;Engineering;\n" found)
if(found LESS 0)
  message(FATAL_ERROR "the desktop entry is not in the categories Science;Engineering;")
endif()

file(READ ${icon} picture)
if(NOT picture MATCHES "<svg[^>]*xmlns=\"http://www.w3.org/2000/svg\"" OR
   NOT picture MATCHES "</svg>[ \n]*$")
  message(FATAL_ERROR "the icon is not an SVG picture")
endif()

# The manual pages and the HTML manual, where the build made them (help2man, cmark).
foreach(made man/aphcalc.1:share/man/man1/aphcalc.1 man/aphcalc-cli.1:share/man/man1/aphcalc-cli.1
        html/用户手册.html:share/doc/aphcalc/用户手册.html)
  string(REPLACE ":" ";" pair ${made})
  list(GET pair 0 built)
  list(GET pair 1 installed)
  if(EXISTS ${BUILD}/docs/${built} AND NOT EXISTS ${PREFIX}/${installed})
    message(FATAL_ERROR "not installed: ${PREFIX}/${installed}")
  endif()
endforeach()
