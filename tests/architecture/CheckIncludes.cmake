# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DSOURCE_DIR=<repository> -P CheckIncludes.cmake
#
# Fails when a file under src/protocol or src/receiver includes a header of
# the app (src/clients) or of its platform layer (src/platform), or a Qt
# header: both ends share the protocol, and the receiver builds and runs
# without the app and without Qt. Fails too when a folder of the receiver
# includes one it must not (see the end of this file): the sinks and the
# keys nothing of the network or the program, the network nothing of the
# sinks but their interface.
#
# An include is looked up as the compiler would find it: beside the file,
# then in the protocol's and the receiver's own folders, then in the folders
# of the app and the platform layer. The same lookup must find the platform
# layer's headers in the app's files, or the check itself is broken.

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" REALPATH)
set(src "${SOURCE_DIR}/src")
file(GLOB_RECURSE app_dirs LIST_DIRECTORIES true "${src}/clients/*")
list(FILTER app_dirs INCLUDE REGEX "/[^/.]+$")
set(own_roots "${src}/protocol" "${src}/receiver")
set(other_roots "${src}" "${src}/clients" ${app_dirs})

# Sets `where` to the file that `#include "name"` (or <name>) in `file`
# reaches, or to "" when it is none of ours (a system or library header).
function(resolve file name quoted)
  set(roots ${own_roots} ${other_roots})
  if(quoted)
    get_filename_component(dir "${file}" DIRECTORY)
    list(PREPEND roots "${dir}")
  endif()
  foreach(root IN LISTS roots)
    if(IS_DIRECTORY "${root}" AND EXISTS "${root}/${name}" AND NOT IS_DIRECTORY "${root}/${name}")
      get_filename_component(found "${root}/${name}" REALPATH)
      set(where "${found}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(where "" PARENT_SCOPE)
endfunction()

# Sets `found` to "file: #include ..." for each include of a file under one
# of `dirs` that reaches into one of the `forbidden` folders, but for the
# files listed in an optional fourth argument, and for each Qt header when
# `no_qt` is set.
function(scan dirs forbidden no_qt)
  set(allowed "${ARGV3}")
  set(globs "")
  foreach(dir IN LISTS dirs)
    list(APPEND globs "${dir}/*.h" "${dir}/*.hpp" "${dir}/*.cpp" "${dir}/*.cc" "${dir}/*.c")
  endforeach()
  file(GLOB_RECURSE files ${globs})
  set(hits "")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    foreach(line IN LISTS lines)
      if(NOT line MATCHES "#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
        continue()
      endif()
      set(name "${CMAKE_MATCH_2}")
      set(quoted OFF)
      if(CMAKE_MATCH_1 STREQUAL "\"")
        set(quoted ON)
      endif()
      if(no_qt AND name MATCHES "^(Qt[A-Za-z]*/|Q[A-Z][A-Za-z0-9]*$)")
        list(APPEND hits "${shown}: ${line} (Qt)")
        continue()
      endif()
      resolve("${file}" "${name}" ${quoted})
      list(FIND allowed "${where}" exempt)
      if(exempt GREATER_EQUAL 0)
        continue()
      endif()
      foreach(folder IN LISTS forbidden)
        string(FIND "${where}" "${folder}/" at)
        if(at EQUAL 0)
          file(RELATIVE_PATH target "${SOURCE_DIR}" "${where}")
          list(APPEND hits "${shown}: ${line} (${target})")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(found "${hits}" PARENT_SCOPE)
endfunction()

# The control: the app does include the platform layer, and the lookup must see it.
scan("${src}/clients" "${src}/platform" OFF)
list(LENGTH found control)
if(control EQUAL 0)
  message(FATAL_ERROR "the include lookup found no platform header in the app's files: the check is broken")
endif()

scan("${src}/protocol;${src}/receiver" "${src}/clients;${src}/platform" ON)
if(found)
  list(JOIN found "\n  " shown)
  message(FATAL_ERROR "the protocol and the receiver must not include the app, its platform layer or Qt:\n  ${shown}")
endif()
message(STATUS "src/protocol and src/receiver include nothing of the app, its platform layer or Qt "
               "(the lookup found ${control} platform includes in the app)")

# Inside the receiver each folder includes only the folders after it in this
# list, and net/ of sinks/ only the interface, InputSink.h: the sinks and the
# keys know nothing of the network or the program, and the network hands
# input to whichever sink it is given.
set(receiver "${src}/receiver")
set(layers app net sinks keys common)
scan("${receiver}/app" "${receiver}/net" OFF)
list(LENGTH found receiver_control)
if(receiver_control EQUAL 0)
  message(FATAL_ERROR "the include lookup found no include of net/ in the receiver's app/: the check is broken")
endif()
set(receiver_hits "")
set(above "")
foreach(layer IN LISTS layers)
  set(allowed "")
  set(forbidden ${above})
  if(layer STREQUAL "net")
    list(APPEND forbidden "${receiver}/sinks")
    set(allowed "${receiver}/sinks/InputSink.h")
  endif()
  if(forbidden)
    scan("${receiver}/${layer}" "${forbidden}" OFF "${allowed}")
    list(APPEND receiver_hits ${found})
  endif()
  list(APPEND above "${receiver}/${layer}")
endforeach()
list(JOIN layers "/, " order)
if(receiver_hits)
  list(JOIN receiver_hits "\n  " shown)
  message(FATAL_ERROR "a folder of src/receiver includes only those after it (${order}/), "
                      "and net/ of sinks/ only InputSink.h:\n  ${shown}")
endif()
message(STATUS "the folders of src/receiver include only those after them (${order}/) "
               "(the lookup found ${receiver_control} includes of net/ in app/)")
