# For the CTest steps written as CMake scripts (cmake -P): runs a command, echoing its output,
# and fails the step, saying WHAT failed, when it fails. Arguments after the command that
# execute_process takes (WORKING_DIRECTORY, ...) pass through.
function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed (${status})")
    endif()
endfunction()
