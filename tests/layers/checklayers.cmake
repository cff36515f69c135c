# Fails when an include runs against the direction of dependencies:
#  - inside engine/, a file may include only files of an earlier layer (or its
#    own header); the layers, first to last, are listed below;
#  - engine/ may reach out only to channel/, host/launcher/ and platform/;
#  - channel/ may reach out only to host/launcher/ and platform/.
# A new engine file fails too until it is given its place here.
#
# cmake -DSOURCE_DIR=<repository> -P checklayers.cmake

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR not given")
endif()

# First to last. A file sees the headers of the files before it.
set(engine_order
  # free-standing helpers
  ratebudget neterror devtoolsswitch popupplacement enginesettings enginesubprocess enginehelper
  # the script bridge
  scriptbridge
  # the page
  pagelog pagedialog browserpage
  # the engine's start and the profile the pages run on
  simpleapp startengine
  # the view, and what it reports to
  browserviewclient browserview
  # the browser handle types
  browser
  # what the host widget hears
  cefwidgethandler
  # the browser client
  simplehandler
)

# Header names -> folder, for every folder of the program.
set(folders platform host/launcher host/uicontrol channel engine ui app)
foreach(folder IN LISTS folders)
  file(GLOB headers RELATIVE "${SOURCE_DIR}/${folder}" "${SOURCE_DIR}/${folder}/*.h")
  foreach(header IN LISTS headers)
    set("owner_${header}" "${folder}")
  endforeach()
endforeach()

set(failures "")

function(includes_of file out)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" name "${line}")
    list(APPEND names "${name}")
  endforeach()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# engine/
file(GLOB engine_files RELATIVE "${SOURCE_DIR}/engine" "${SOURCE_DIR}/engine/*.h" "${SOURCE_DIR}/engine/*.cpp")
foreach(file IN LISTS engine_files)
  get_filename_component(stem "${file}" NAME_WE)
  list(FIND engine_order "${stem}" rank)
  if(rank LESS 0)
    list(APPEND failures "engine/${file}: not in any layer")
    continue()
  endif()
  includes_of("${SOURCE_DIR}/engine/${file}" names)
  foreach(name IN LISTS names)
    set(folder "${owner_${name}}")
    if(folder STREQUAL "engine")
      get_filename_component(target "${name}" NAME_WE)
      list(FIND engine_order "${target}" target_rank)
      if(target_rank GREATER rank)
        list(APPEND failures "engine/${file}: includes ${name} of a later layer")
      endif()
    elseif(folder MATCHES "^(ui|app|host/uicontrol)$")
      list(APPEND failures "engine/${file}: includes ${folder}/${name}")
    endif()
  endforeach()
endforeach()

# channel/
file(GLOB channel_files RELATIVE "${SOURCE_DIR}/channel" "${SOURCE_DIR}/channel/*.h" "${SOURCE_DIR}/channel/*.cpp")
foreach(file IN LISTS channel_files)
  includes_of("${SOURCE_DIR}/channel/${file}" names)
  foreach(name IN LISTS names)
    set(folder "${owner_${name}}")
    if(folder MATCHES "^(engine|ui|app|host/uicontrol)$")
      list(APPEND failures "channel/${file}: includes ${folder}/${name}")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "includes against the layers:\n  ${text}")
endif()
list(LENGTH engine_files count)
message(STATUS "${count} engine files, every include runs one way")
