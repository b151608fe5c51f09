# Fails when an object built without exception support refers to what throws
# or catches: operator new, the C++ run-time's throw helpers, a throw or a
# catch. Such an exception could not pass through that object's frames and
# would end the program the library lives in.
#   cmake -DNM=<nm> -DOBJECTS=<objects> -P check_no_throw.cmake
set(bad "")
foreach(object ${OBJECTS})
  execute_process(COMMAND ${NM} -u ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${object}")
  endif()
  string(REGEX MATCHALL "[^\n ]*(_Zn[wa]|__cxa_(allocate_exception|throw|begin_catch|rethrow)|__throw_)[^\n]*" found "${symbols}")
  if(found)
    get_filename_component(name ${object} NAME)
    list(APPEND bad "${name}: ${found}")
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n  " lines)
  message(FATAL_ERROR "built without exception support, yet allocating or throwing (take the source off "
                      "the list of sources through which no exception passes):\n  ${lines}")
endif()
