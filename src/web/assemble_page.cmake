# cmake -DSHELL=shell.html -DMARKUP=window.html -DCSS=page.css -DJS=page.js
#       -DPROGRAM=program.js -DOUT=aphcalc.html -P assemble_page.cmake
# Puts the window's elements, the page's style, its script and the program into the shell page,
# where their markers stand. The program is kept as text (not run while the page is read), so
# that the window is painted before the program's half megabyte is parsed.
file(READ ${SHELL} page)
file(READ ${MARKUP} window)
file(READ ${CSS} style)
file(READ ${JS} script)
file(READ ${PROGRAM} program)
string(TOLOWER "${program}" lower)
foreach(breaking "</script" "<!--")
  string(FIND "${lower}" "${breaking}" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} contains ${breaking} and cannot be embedded as it stands")
  endif()
endforeach()
string(REPLACE "<!-- window -->" "${window}" page "${page}")
string(REPLACE "/* page.css */" "${style}" page "${page}")
string(REPLACE "/* page.js */" "${script}" page "${page}")
string(REPLACE "/* program */" "${program}" page "${page}")
file(WRITE ${OUT} "${page}")
