# Same sources, same bytes: the generator writes a fresh folder and its files must equal those
# of the build's own generation byte for byte.
#   cmake -DGENERATOR=<voltaresca-content> -DREFERENCE=<folder with demodat> -DOUT=<folder> -P same_bytes.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GENERATOR} ${OUT} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "voltaresca-content ${OUT} failed (${status}): ${errors}")
endif()
foreach(name demodat setup.png)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${REFERENCE}/${name} ${OUT}/${name} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "a second generation's ${name} differs from the build's ${REFERENCE}/${name}")
  endif()
endforeach()
file(REMOVE_RECURSE ${OUT})
