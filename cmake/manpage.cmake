# Writes the manual page OUT of the program PROG from its --help and
# --version, so the page never says other than the program:
#   cmake -DPROG=path/to/prog -DOUT=prog.1 -DDOCDIR=share/doc/telma -P manpage.cmake
# The help text's first line is "name: what it does"; the rest is shown as
# written.
execute_process(COMMAND ${PROG} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc1)
execute_process(COMMAND ${PROG} --version OUTPUT_VARIABLE version RESULT_VARIABLE rc2
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0)
  message(FATAL_ERROR "${PROG}: --help or --version failed")
endif()
string(FIND "${help}" "\n" eol)
string(SUBSTRING "${help}" 0 ${eol} first)
math(EXPR eol "${eol} + 1")
string(SUBSTRING "${help}" ${eol} -1 body)
string(REGEX MATCH "^[^:]+" name "${first}")
string(REGEX REPLACE "^[^:]+: *" "" what "${first}")
string(TOUPPER "${name}" title)

# Roff escapes: the backslash, a minus sign, a control character that opens a line.
foreach(v name what body)
  string(REPLACE "\\" "\\e" ${v} "${${v}}")
  string(REPLACE "-" "\\-" ${v} "${${v}}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" ${v} "${${v}}")
endforeach()
string(REGEX REPLACE "^\n+" "" body "${body}")

set(page ".TH ${title} 1 \"\" \"${version}\" \"User Commands\"\n.SH NAME\n${name} \\- ${what}\n")
string(APPEND page ".SH DESCRIPTION\n.nf\n${body}.fi\n")
string(APPEND page ".SH SEE ALSO\ntelma(1), korval(1), telma\\-mesh(1); the user's guide, "
  "examples/README.md in ${DOCDIR} under the installation prefix (/usr for the package)\n")
file(WRITE ${OUT} "${page}")
