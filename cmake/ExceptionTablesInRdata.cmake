# The linker's default script for Windows places the C++ exception tables
# (.gcc_except_table) inside .text, after the code. They are data, but a disassembler
# reads them as instructions like the rest of .text, and their bytes can spell anything,
# SSE instructions included. Every Windows program here links with that same script, the
# tables moved to .rdata with the other read-only data (the unwinder only reads them), so
# that .text holds code and the constructor lists alone.
execute_process(COMMAND ${CMAKE_LINKER} --verbose OUTPUT_VARIABLE verbose RESULT_VARIABLE failed)
string(REGEX MATCH "\n=+\n(.*)\n=+" script "${verbose}")
set(script "${CMAKE_MATCH_1}")
set(inText "     KEEP (*(.gcc_except_table))\n")
set(rdataEnd "*(SORT(.rdata$*))\n")
string(FIND "${script}" "${inText}" atText)
string(FIND "${script}" "${rdataEnd}" atRdata)
if(failed OR atText EQUAL -1 OR atRdata EQUAL -1)
  message(FATAL_ERROR "${CMAKE_LINKER} --verbose: no default script with .gcc_except_table in .text")
endif()
string(REPLACE "${inText}" "" script "${script}")
string(REPLACE "${rdataEnd}" "${rdataEnd}    KEEP (*(.gcc_except_table))\n" script "${script}")
file(WRITE ${CMAKE_BINARY_DIR}/windows-programs.ld "${script}\n")
add_link_options(-Wl,-T,${CMAKE_BINARY_DIR}/windows-programs.ld)
