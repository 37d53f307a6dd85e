# cmake -DNODE=... -DNPM=... -DFOLDER=... -P InstallJsbeeb.cmake
# Installs the jsbeeb emulator from npm into FOLDER for the emulator test and writes
# FOLDER/install-status.txt: "ok", or why the test has to be skipped. It never fails the
# build: without a registry the test is skipped, not the build broken. The package
# carries the machine's ROMs; they stay in the build tree.
set(status "${FOLDER}/install-status.txt")
file(MAKE_DIRECTORY "${FOLDER}")
if(NOT NODE OR NOT NPM)
  file(WRITE "${status}" "node or npm was not found")
  return()
endif()
file(WRITE "${FOLDER}/package.json" "{ \"private\": true }\n")
execute_process(
  COMMAND "${NPM}" install jsbeeb@1.13.1 --ignore-scripts --no-audit --no-fund --fetch-retries=1 --fetch-timeout=60000
  WORKING_DIRECTORY "${FOLDER}" RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 900)
if(NOT result EQUAL 0)
  # npm's first lines name the problem ("npm error code ENOTFOUND", then the request;
  # npm 9, Debian 12's, writes "npm ERR!" instead of "npm error").
  string(REGEX MATCHALL "npm (error|ERR!) [^\n]*" lines "${output}")
  list(SUBLIST lines 0 4 lines)
  list(JOIN lines "; " reason)
  file(WRITE "${status}" "npm install failed (status ${result}): ${reason}")
  return()
endif()
# The emulator's session module must load with this Node.js.
execute_process(
  COMMAND "${NODE}" --input-type=module -e "await import('jsbeeb/machine-session')"
  WORKING_DIRECTORY "${FOLDER}" RESULT_VARIABLE result ERROR_VARIABLE output OUTPUT_QUIET TIMEOUT 120)
if(NOT result EQUAL 0)
  string(REGEX MATCH "[^\n]*Error[^\n]*" first "${output}")
  file(WRITE "${status}" "jsbeeb does not load with this Node.js: ${first}")
  return()
endif()
file(WRITE "${status}" "ok\n")
