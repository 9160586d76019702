# Runs the generator into WORK_DIR and compares every file it writes with the
# committed one in SOURCE_DIR/syncdata; then compares syncdump's output with
# the generator's table of rows.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/edition/generate.py rows --out ${WORK_DIR}/syncdata
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "generate.py rows failed: ${rc}")
endif()
file(GLOB generated RELATIVE ${WORK_DIR}/syncdata ${WORK_DIR}/syncdata/*)
list(LENGTH generated n)
if(n LESS 23)
    message(FATAL_ERROR "generator wrote only ${n} files")
endif()
foreach(name ${generated})
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
        ${WORK_DIR}/syncdata/${name} ${SOURCE_DIR}/syncdata/${name} RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
        message(FATAL_ERROR "syncdata/${name} differs from what the generator writes")
    endif()
endforeach()

execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/tools/edition/generate.py table --out ${WORK_DIR}/rows.tsv
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "generate.py table failed: ${rc}")
endif()
execute_process(COMMAND ${SYNCDUMP} OUTPUT_FILE ${WORK_DIR}/dump.tsv RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "syncdump failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/dump.tsv ${WORK_DIR}/rows.tsv
    RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
    message(FATAL_ERROR "syncdump output differs from the generator's rows")
endif()
