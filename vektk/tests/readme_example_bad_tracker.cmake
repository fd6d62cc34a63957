# The README's example given a rigid body file that fails on its line 5:
# the message names that line and the program stops there, with a failure
# status, before it connects anywhere.
set(body ${DIR}/readme_example_bad.rb)
file(WRITE ${body} "# wand\n# millimetres\n# two markers\n0, 0 0 0\n-1, 10 0 0\n")
execute_process(COMMAND ${PROGRAM} 127.0.0.1:1 ${body} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
file(REMOVE ${body})
if(status EQUAL 0 OR NOT out STREQUAL "" OR NOT err STREQUAL "${body}:5: invalid LED: -1, 10 0 0\n")
  message(FATAL_ERROR "status ${status}\nstandard output: ${out}\nstandard error: ${err}")
endif()
