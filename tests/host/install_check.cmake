# Installs the build twice, as a user and system-wide, and checks that the modules land where
# Linux hosts look for VST 2 and CLAP plug-ins.
file(REMOVE_RECURSE "${OUT}")
set(ENV{HOME} "${OUT}/home")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${OUT}/home" RESULT_VARIABLE user_status
                OUTPUT_QUIET)
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${OUT}/usr/local" RESULT_VARIABLE system_status
                OUTPUT_QUIET)
if(NOT user_status EQUAL 0 OR NOT system_status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(expected "${OUT}/home/.vst/QtZaltrim.so" "${OUT}/usr/local/lib/vst/QtZaltrim.so"
                 "${OUT}/home/.clap/Zaltrim.clap" "${OUT}/usr/local/lib/clap/Zaltrim.clap")
  if(NOT EXISTS "${expected}")
    message(FATAL_ERROR "missing ${expected}")
  endif()
endforeach()
