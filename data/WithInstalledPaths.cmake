# Run by `cmake --install`: installs the desktop entry and the user unit with the app's path in
# this install. Set by the caller: orvel_data_source (this folder), orvel_data_written (a folder
# of the build's for them).
set(ORVEL_EXEC "${CMAKE_INSTALL_PREFIX}/bin/OrvelRemote")
if(ORVEL_EXEC MATCHES " ")
  # Both formats read a double-quoted first word as one.
  set(ORVEL_EXEC "\"${ORVEL_EXEC}\"")
endif()
# A folder per destination: installs into two prefixes at once (the tests) write apart.
string(MD5 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(written "${orvel_data_written}/${destination}")
foreach(file_and_folder "quillon.orvel.Remote.desktop;share/applications"
                        "orvel-remote.service;share/systemd/user")
  list(GET file_and_folder 0 file)
  list(GET file_and_folder 1 folder)
  configure_file("${orvel_data_source}/${file}" "${written}/${file}" @ONLY)
  file(INSTALL "${written}/${file}" DESTINATION "${CMAKE_INSTALL_PREFIX}/${folder}")
endforeach()
