# The export list: src/kvom6.exports holds every name the library may export ("family name" per
# line, # starts a comment). The shared library exports those of them it defines, nothing else.

function(kvo_read_exports file out)
  file(STRINGS ${file} lines REGEX "^[^#]")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^ \t]+[ \t]+" "" name "${line}")
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(kvo_limit_exports target file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  kvo_read_exports(${file} names)
  if(WIN32)
    # The DLL's .def file is made from the export list and the names the objects define; see
    # cmake/KvoWindows.cmake.
    if(COMMAND kvo_windows_exports)
      kvo_windows_exports(${target} ${file})
    endif()
    return()
  endif()
  list(JOIN names ";\n    " body)
  set(script "${CMAKE_CURRENT_BINARY_DIR}/kvom6.map")
  file(WRITE ${script} "{\n  global:\n    ${body};\n  local: *;\n};\n")
  target_link_options(${target} PRIVATE "-Wl,--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
