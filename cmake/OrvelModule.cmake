# A module is a folder (with any subfolders): its .cpp files make one static library, its tests one
# GoogleTest program. Sources are globbed so that adding a file to a module
# needs no build-file edit.

function(orvel_library name folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp")
  if(NOT sources)
    # A module whose sources have not landed yet (or that is header-only).
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  orvel_layer_includes(${name} ${folder})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# orvel_tests(<name> <folder> <libraries...> [EXCLUDE <subfolders...>]): every *.cpp directly in
# tests/<folder> or below it that is a test file (*_test.cpp or *Tests.cpp) forms one program;
# the EXCLUDE subfolders hold programs of their own.
function(orvel_tests name folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "EXCLUDE")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*Tests.cpp"
                                      "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*Test.cpp")
  foreach(excluded ${arg_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "/${folder}/${excluded}/")
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${arg_UNPARSED_ARGUMENTS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
                       PROPERTIES ENVIRONMENT "ORVEL_BUILD_DIR=${PROJECT_BINARY_DIR}"
                       # Set but empty: no test looks for TVs on the real network.
                       ENVIRONMENT_MODIFICATION "ORVEL_ROKU_HOSTS=set:")
endfunction()
