# Installs PATH (TYPE MODULE or DIRECTORY) where Linux hosts look for plug-ins of one format:
# ~/HOME_DIR for a prefix in the user's home, PREFIX/lib/SYSTEM_DIR under any other prefix.
# Decided when installing, so that `cmake --install build --prefix ~` works as it is.
function(zaltrim_install_plugin type home_dir system_dir path)
  string(CONFIGURE [[
    if(DEFINED ENV{HOME} AND CMAKE_INSTALL_PREFIX MATCHES "^$ENV{HOME}(/.*)?$")
      set(zaltrim_plugin_dir "$ENV{HOME}/@home_dir@")
    else()
      set(zaltrim_plugin_dir "${CMAKE_INSTALL_PREFIX}/lib/@system_dir@")
    endif()
    file(INSTALL DESTINATION "${zaltrim_plugin_dir}" TYPE @type@ FILES "@path@")
  ]] code @ONLY)
  install(CODE "${code}")
endfunction()
