# Each layer's targets see only the headers of the layers the layering table (Layers.txt) lets
# them use: the include root build/include/<layer>/ holds a link to each of those src/ folders,
# so `#include "session/AppStore.hpp"` fails to compile in a layer that may not use session.

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/Layers.txt")
file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/Layers.txt" _orvel_table REGEX "^[a-z_]+:")
set(ORVEL_LAYERS "")
foreach(row ${_orvel_table})
  string(REGEX MATCH "^[a-z_]+" layer "${row}")
  string(REGEX REPLACE "^[a-z_]+:[ \t]*" "" uses "${row}")
  separate_arguments(uses UNIX_COMMAND "${uses}")
  list(APPEND ORVEL_LAYERS ${layer})
  set(_orvel_uses_${layer} ${layer} ${uses})
endforeach()

# A layer may also use whatever its allowed layers may use.
foreach(_round ${ORVEL_LAYERS})
  foreach(layer ${ORVEL_LAYERS})
    foreach(used ${_orvel_uses_${layer}})
      list(APPEND _orvel_uses_${layer} ${_orvel_uses_${used}})
    endforeach()
    list(REMOVE_DUPLICATES _orvel_uses_${layer})
  endforeach()
endforeach()

set(ORVEL_INCLUDE_ROOTS "${PROJECT_BINARY_DIR}/include")
file(REMOVE_RECURSE "${ORVEL_INCLUDE_ROOTS}")
foreach(layer ${ORVEL_LAYERS})
  file(MAKE_DIRECTORY "${ORVEL_INCLUDE_ROOTS}/${layer}")
  foreach(used ${_orvel_uses_${layer}})
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${used}" "${ORVEL_INCLUDE_ROOTS}/${layer}/${used}"
         SYMBOLIC)
  endforeach()
endforeach()

# orvel_layer_includes(<target> <layer>): the target compiles against its layer's root.
function(orvel_layer_includes target layer)
  if(NOT layer IN_LIST ORVEL_LAYERS)
    message(FATAL_ERROR "src/${layer} is not in the layering table (cmake/Layers.txt)")
  endif()
  target_include_directories(${target} PRIVATE "${ORVEL_INCLUDE_ROOTS}/${layer}")
endfunction()

# orvel_layer_subdirectory(<layer>): add_subdirectory(<layer>), every target in it compiling
# against the layer's root.
function(orvel_layer_subdirectory layer)
  if(NOT layer IN_LIST ORVEL_LAYERS)
    message(FATAL_ERROR "src/${layer} is not in the layering table (cmake/Layers.txt)")
  endif()
  get_directory_property(saved INCLUDE_DIRECTORIES)
  set_directory_properties(PROPERTIES INCLUDE_DIRECTORIES "${ORVEL_INCLUDE_ROOTS}/${layer}")
  add_subdirectory(${layer})
  set_directory_properties(PROPERTIES INCLUDE_DIRECTORIES "${saved}")
endfunction()
