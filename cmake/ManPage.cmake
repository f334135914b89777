# Writes a section-1 manual page from a built program's own --help, and the
# --help of each of its commands, so that the page cannot drift from the
# program. Run in script mode:
#
#   cmake -DPROGRAM=<path> -DNAME=<page name> -DSUMMARY=<English NAME line>
#         -DVERSION=<version> -DGZIP=<gzip> -DOUTPUT=<page.1.gz> [-DCOMMANDS=ON]
#         -P ManPage.cmake
#
# The text is Russian, as the program prints it; only the NAME line is English,
# which is what whatis and apropos index.
cmake_minimum_required(VERSION 3.25)

foreach(variable PROGRAM NAME SUMMARY VERSION GZIP OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "ManPage.cmake: ${variable} is not set")
  endif()
endforeach()

# A program's help for the given arguments; the build fails when it gives none.
function(program_help out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 ${PROGRAM} ${ARGN}
            --help
    OUTPUT_VARIABLE text
    ERROR_VARIABLE errors
    RESULT_VARIABLE status
    TIMEOUT 60)
  if(NOT status EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help gave no help (${status}): ${errors}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Help text as a verbatim troff block: backslashes and minus signs escaped, a
# line that starts with a dot or an apostrophe kept from being read as a request.
function(troff_block out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

program_help(help)
string(TOUPPER "${NAME}" title)
string(TIMESTAMP date "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH when it is set
string(REPLACE "-" "\\-" name_line "${NAME}")
set(page ".\\\" Generated from ${NAME} --help at build time; edit the program, not this page.\n")
string(APPEND page ".TH \"${title}\" 1 \"${date}\" \"Pakscope ${VERSION}\" \"Pakscope\"\n")
string(APPEND page ".SH NAME\n${name_line} \\- ${SUMMARY}\n")
troff_block(block "${help}")
string(APPEND page ".SH ОПИСАНИЕ\n${block}")

# Commands (with -DCOMMANDS=ON): the help's two-space-indented lines that begin
# with a plain word (options begin with a dash), each answering --help itself.
set(commands)
set(command_pages)
if(COMMANDS)
  string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*[ \n]" candidates "${help}")
  foreach(candidate IN LISTS candidates)
    string(STRIP "${candidate}" command)
    if(command IN_LIST commands)
      continue()
    endif()
    execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE text
                    RESULT_VARIABLE status ERROR_QUIET TIMEOUT 60)
    if(status EQUAL 0 AND NOT text STREQUAL "")
      list(APPEND commands ${command})
      troff_block(block "${text}")
      string(APPEND command_pages ".SS ${command}\n${block}")
    endif()
  endforeach()
endif()
if(commands)
  string(APPEND page ".SH КОМАНДЫ\n${command_pages}")
endif()

string(APPEND page ".SH \"СМ. ТАКЖЕ\"\n")
if(NAME STREQUAL "pakscope")
  string(APPEND page ".BR pakscope\\-cli (1)\n.PP\n")
else()
  string(APPEND page ".BR pakscope (1)\n.PP\n")
endif()
string(APPEND page "Руководство пользователя: /usr/share/pakscope/manual/index.md, ")
string(APPEND page "в программе \\(em клавиша F1.\n")

get_filename_component(plain "${OUTPUT}" NAME_WLE)
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(WRITE "${folder}/${plain}" "${page}")
# Debian's manner: best compression, no name or time stamp in the header.
execute_process(COMMAND ${GZIP} -9nf "${folder}/${plain}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${GZIP} could not compress ${folder}/${plain}")
endif()
