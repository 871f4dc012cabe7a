# Runs hallvoxen-stations on the bundled samples and on small files made here, and checks
# its standard output line for line against the golden tables and lists, the reason line
# of "near --freq" for each kind of reason, and the exit codes with their messages.
#   cmake -DTOOL=... -DSOURCE_DIR=... -DWORK_DIR=... -P check-stations-tool.cmake
set(samples ${SOURCE_DIR}/samples/networks)
set(golden ${SOURCE_DIR}/tests/golden/samples)
file(MAKE_DIRECTORY ${WORK_DIR})

# expect(name rc stdout stderrRegex args...): an empty regex means standard error stays empty.
function(expect name expectedRc expectedOut errPattern)
  execute_process(COMMAND ${TOOL} ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc STREQUAL expectedRc)
    message(SEND_ERROR "${name}: exit code ${rc}, expected ${expectedRc} (${err})")
  endif()
  if(NOT out STREQUAL expectedOut)
    message(SEND_ERROR "${name}: standard output differs:\n${out}\n--- expected:\n${expectedOut}")
  endif()
  if(errPattern STREQUAL "" AND NOT err STREQUAL "")
    message(SEND_ERROR "${name}: unexpected standard error: ${err}")
  elseif(NOT err MATCHES "${errPattern}")
    message(SEND_ERROR "${name}: standard error does not match \"${errPattern}\": ${err}")
  endif()
endfunction()

# expect_selection(name line args...): "near --freq" ends with this line, exit 0.
function(expect_selection name expectedLine)
  execute_process(COMMAND ${TOOL} near ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  string(REGEX MATCH "[^\n]*\n$" last "${out}")
  if(NOT rc STREQUAL "0" OR NOT last STREQUAL "selection: ${expectedLine}\n")
    message(SEND_ERROR "${name}: exit code ${rc}, last line \"${last}\", expected \"selection: ${expectedLine}\" (${err})")
  endif()
endfunction()

# ---- the station table
file(READ ${golden}/vatsim-data.tsv vatsimTable)
file(READ ${golden}/ivao-whazzup.tsv ivaoTable)
expect("VATSIM sample" 0 "${vatsimTable}" "" vatsim ${samples}/vatsim-data.txt)
expect("IVAO sample" 0 "${ivaoTable}" "" ivao ${samples}/ivao-whazzup.txt ${samples}/ivao-voice.txt)

file(WRITE ${WORK_DIR}/empty-table.txt "!GENERAL\nCONNECTED CLIENTS = 0\n!CLIENTS\nX:1:N:ATC:118.100:1:2:\n")
set(usage "\nusage: hallvoxen-stations vatsim CLIENTS_FILE\n")
expect("empty table" 0 "" "" vatsim ${WORK_DIR}/empty-table.txt)
expect("no client count" 1 "" "^[^\n]*no station table[^\n]*\n$" vatsim ${samples}/vatsim-status.txt)
expect("no arguments" 2 "" "^usage: " )
expect("unknown network" 2 "" "^usage: " ivaox ${samples}/vatsim-data.txt)
expect("IVAO without a voice file" 2 "" "^usage: " ivao ${samples}/ivao-whazzup.txt)
expect("missing file" 2 "" "^[^\n]*cannot read [^\n]*no-such-file.txt: [^\n]+\n$" vatsim ${WORK_DIR}/no-such-file.txt)

# ---- near: the dialog's list for a position (ties among EDDF's stations, "N/R")
file(READ ${golden}/near-vatsim-loww.txt nearVatsim)
file(READ ${golden}/near-ivao-lfpg.txt nearIvao)
expect("near VATSIM at LOWW" 0 "${nearVatsim}" "" near vatsim 48.11028 16.56972 ${samples}/vatsim-data.txt)
expect("near IVAO at LFPG" 0 "${nearIvao}" "" near ivao 49.0097 2.5479 ${samples}/ivao-whazzup.txt ${samples}/ivao-voice.txt)

set(eddf 50.0333 8.5706)
set(loww 48.11028 16.56972)
set(vatsimData ${samples}/vatsim-data.txt)
expect_selection("chosen" "EDDF_TWR on 119.90 at 0.0, within its range of 50" vatsim ${eddf} --freq 119.9 ${vatsimData})
expect_selection("chosen on IVAO" "LSZH_TWR on 118.10 at 0.0, within its range of 50"
  ivao 47.4647 8.5492 --freq=118.100 ${samples}/ivao-whazzup.txt ${samples}/ivao-voice.txt)
expect_selection("out of range" "out of range on 119.90, nearest EDDF_TWR at 385.9 is beyond its range of 50"
  vatsim ${loww} --freq 119.90 ${vatsimData})
expect_selection("range not checked" "EDDF_TWR on 119.90 at 385.9, range not checked (its range is 50)"
  vatsim ${loww} --no-range --freq 119.90 ${vatsimData})
expect_selection("no station" "no station on 121.50" vatsim ${eddf} --freq 121.50 ${vatsimData})
expect_selection("no voice channel" "only stations without a voice channel on 134.67 (1)" vatsim ${loww} --freq 134.67 ${vatsimData})

# Bad arguments: the reason, then the usage, exit 2; a file without a table: exit 1.
foreach(case
    "no network|no network given"
    "unknown network|unknown network \"ivaox\"|ivaox;0;0;${vatsimData}"
    "latitude beyond 90|latitude \"90.5\"|vatsim;90.5;0;${vatsimData}"
    "longitude beyond 180|longitude \"-180.01\"|vatsim;0;-180.01;${vatsimData}"
    "frequency below 100|frequency \"99.99\"|vatsim;0;0;--freq;99.99;${vatsimData}"
    "frequency of 8.33 kHz|frequency \"118.105\"|vatsim;0;0;--freq;118.105;${vatsimData}"
    "unknown option|unknown option --range|vatsim;0;0;--range;${vatsimData}"
    "IVAO with one file|ivao takes two files|ivao;0;0;${samples}/ivao-whazzup.txt")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 reason)
  set(args "")
  list(LENGTH fields count)
  if(count GREATER 2)
    list(SUBLIST fields 2 -1 args)
  endif()
  expect("near: ${name}" 2 "" "^hallvoxen-stations near: [^\n]*${reason}[^\n]*${usage}" near ${args})
endforeach()
expect("near: no table" 1 "" "no station table" near vatsim 0 0 --freq 118.10 ${samples}/vatsim-status.txt)
