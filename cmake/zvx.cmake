# The layer table (cmake/layers.txt) as ZVX_LAYERS, lowest first, and
# ZVX_USES_<layer>: the layers below it that it may use.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/layers.txt zvx_layer_lines REGEX "^[a-z]")
set(ZVX_LAYERS "")
foreach(line IN LISTS zvx_layer_lines)
  string(REGEX REPLACE "[ \t]+" ";" words "${line}")
  list(POP_FRONT words layer)
  list(APPEND ZVX_LAYERS ${layer})
  set(ZVX_USES_${layer} ${words})
endforeach()

# zvx_include_root(<var> <name> <folders...>)
# A directory in the build tree holding a link to each named source folder.
# Headers are included by their folder ("text/store.h"), so a target whose
# include path holds such roots instead of the project root sees only the
# folders linked there: an include of a layer above fails to compile.
function(zvx_include_root var name)
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  foreach(f ${ARGN})
    if(NOT IS_SYMLINK ${root}/${f})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${f} ${root}/${f} SYMBOLIC)
    endif()
  endforeach()
  set(${var} ${root} PARENT_SCOPE)
endfunction()

# zvx_library(<layer>)
# The layer's static library zvx_<layer>, from every .cpp in its folder (new
# files join the build without touching this list). It links the layers the
# table lets it use, and its include root shows its own folder only; the
# roots of the layers below come with their libraries.
function(zvx_library layer)
  if(NOT layer IN_LIST ZVX_LAYERS)
    message(FATAL_ERROR "zvx_library: ${layer} is not in cmake/layers.txt")
  endif()
  set(name zvx_${layer})
  set(deps "")
  foreach(d ${ZVX_USES_${layer}})
    list(APPEND deps zvx_${d})
  endforeach()
  zvx_include_root(root ${layer} ${layer})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")  # a program's entry point
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC ${deps})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${root})
    target_link_libraries(${name} INTERFACE ${deps})
  endif()
endfunction()

# zvx_layer_libs(<var> <layer>)
# The libraries a program of that layer links: the layer's own (when it has
# one) and those of every layer it may use.
function(zvx_layer_libs var layer)
  set(libs "")
  foreach(l ${layer} ${ZVX_USES_${layer}})
    if(TARGET zvx_${l})
      list(APPEND libs zvx_${l})
    endif()
  endforeach()
  set(${var} ${libs} PARENT_SCOPE)
endfunction()

# zvx_included_libs(<var> <files...>)
# The libraries of the layers whose headers the files include, for programs
# that belong to no layer (benchmarks, fuzz targets, tool tests): each links
# what it includes and, through those libraries, what lies below. Editing one
# of the files configures again, so the list follows its includes.
function(zvx_included_libs var)
  set(libs "")
  foreach(f ${ARGN})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${f})
    file(STRINGS ${f} incs REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(i ${incs})
      string(REGEX REPLACE "^[^\"]*\"([a-z_]+)/.*" "\\1" top "${i}")
      if(TARGET zvx_${top})
        list(APPEND libs zvx_${top})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES libs)
  set(${var} ${libs} PARENT_SCOPE)
endfunction()

# Ports: where a lower layer needs a higher one it declares plain functions
# in a header of its own, and the layer above defines them. The static
# libraries then refer to each other in both directions, so every program
# links its libraries as one group the linker scans until nothing is left;
# a port nobody defines fails the link.
set(CMAKE_CXX_LINK_EXECUTABLE
    "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> -Wl,--start-group <LINK_LIBRARIES> -Wl,--end-group")

# zvx_linked_layers(<var> <target>)
# The layers whose libraries the target links, directly or through others,
# with everything below them.
function(zvx_linked_layers var target)
  set(seen "")
  set(todo ${target})
  set(layers "")
  while(todo)
    list(POP_FRONT todo t)
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    if(t MATCHES "^zvx_([a-z]+)$" AND CMAKE_MATCH_1 IN_LIST ZVX_LAYERS)
      list(APPEND layers ${CMAKE_MATCH_1} ${ZVX_USES_${CMAKE_MATCH_1}})
    endif()
    get_target_property(type ${t} TYPE)
    set(props INTERFACE_LINK_LIBRARIES)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND props LINK_LIBRARIES)
    endif()
    foreach(p ${props})
      get_target_property(deps ${t} ${p})
      if(deps)
        foreach(d ${deps})
          string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" d "${d}")
          list(APPEND todo ${d})
        endforeach()
      endif()
    endforeach()
  endwhile()
  list(REMOVE_DUPLICATES layers)
  set(${var} ${layers} PARENT_SCOPE)
endfunction()

# zvx_link_headless(<target>)
# A program that links only some layers (a test, a tool, a benchmark, a
# fuzz target) gets the headless answers of every layer it leaves out, for
# the ports the layers it has declare (tests/support/headless). The editor
# links every layer and so none of these.
function(zvx_link_headless target)
  zvx_linked_layers(have ${target})
  foreach(l ${ZVX_LAYERS})
    if(NOT l IN_LIST have AND TARGET zvx_headless_${l})
      target_link_libraries(${target} PRIVATE zvx_headless_${l})
    endif()
  endforeach()
endfunction()

# zvx_link_headless_all(<dirs...>)
# zvx_link_headless for every program defined in the directories and below.
function(zvx_link_headless_all)
  foreach(dir ${ARGN})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "EXECUTABLE")
        zvx_link_headless(${t})
      endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    if(subdirs)
      zvx_link_headless_all(${subdirs})
    endif()
  endforeach()
endfunction()
