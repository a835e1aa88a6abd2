# The game's data directory with a 320x180 window, for the program test that measures the
# processor time of paced frames: at full size Mesa's software rasteriser alone fills most of a
# core. Run with -DSTAGE (the staged data), -DWORK, -DOUTPUT and -DPACK.
file(REMOVE_RECURSE ${WORK})
file(COPY ${STAGE}/ DESTINATION ${WORK})
file(READ ${WORK}/project.ini settings)
string(REPLACE "HARD_FORCED_WIDTH 0" "HARD_FORCED_WIDTH 320" settings "${settings}")
string(REPLACE "HARD_FORCED_HEIGHT 0" "HARD_FORCED_HEIGHT 180" settings "${settings}")
if(NOT settings MATCHES "HARD_FORCED_WIDTH 320\n" OR NOT settings MATCHES "HARD_FORCED_HEIGHT 180\n")
  message(FATAL_ERROR "project.ini has no HARD_FORCED_WIDTH 0 and HARD_FORCED_HEIGHT 0 lines")
endif()
file(WRITE ${WORK}/project.ini "${settings}")
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${PACK} --compress *.txt --compress *.ini --compress *.lang ${WORK} ${OUTPUT} ASPEC
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "packing the small-window data failed")
endif()
