# The compiled help file as a reader other than Windows sees it: Debian's chmlib
# (extract_chmLib) unpacks DOC/Quillory.chm, and the build's help check runs on what came
# out, so every topic and anchor the program opens, and every link between topics, must be
# inside the compiled file. The file must not carry the build machine's folders either.
#   cmake -DCHM=<file> -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch folder> -P compiled_help.cmake
cmake_minimum_required(VERSION 3.20)

find_program(_extract extract_chmLib)
if(NOT _extract)
    message(FATAL_ERROR "extract_chmLib is missing: install Debian's libchm-bin (scripts/bootstrap.sh does)")
endif()
if(NOT EXISTS "${CHM}")
    message(FATAL_ERROR "no help file at ${CHM}")
endif()

set(_out ${WORK_DIR}/compiled_help)
file(REMOVE_RECURSE ${_out})
execute_process(COMMAND ${_extract} ${CHM} ${_out} RESULT_VARIABLE _result OUTPUT_QUIET)
if(NOT _result EQUAL 0 OR NOT EXISTS ${_out}/quick_start.htm)
    message(FATAL_ERROR "extract_chmLib could not read ${CHM} (result ${_result})")
endif()

# The project's list of topics, checked against the unpacked file instead of the sources.
configure_file(${SOURCE_DIR}/doc/help/quillory.hhp ${_out}/quillory.hhp COPYONLY)
execute_process(
    COMMAND ${CMAKE_COMMAND} -DHHP=${_out}/quillory.hhp -DSOURCES=${SOURCE_DIR}/app/ui/help_topics.h
            -P ${SOURCE_DIR}/cmake/check_help_project.cmake
    RESULT_VARIABLE _result OUTPUT_VARIABLE _said ERROR_VARIABLE _said)
if(NOT _result EQUAL 0)
    message(FATAL_ERROR "the compiled help file lacks what the program opens:\n${_said}")
endif()

file(GLOB _internal "${_out}/#*")
foreach(f IN LISTS _internal)
    file(STRINGS ${f} _paths REGEX "${SOURCE_DIR}|${WORK_DIR}")
    if(_paths)
        message(FATAL_ERROR "${f} names a folder of the build machine: ${_paths}")
    endif()
endforeach()
file(REMOVE_RECURSE ${_out})
message(STATUS "${CHM}: every topic and place the program opens is inside")
