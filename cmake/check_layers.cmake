cmake_minimum_required(VERSION 3.24)
# Fails the build when code includes a header of a layer above its own. The
# folder a file is in is its layer:
#   platform/, shared/  system services and what both programs share: no Qt,
#                       nothing but each other
#   core/               the window's program without widgets: no Qt, no gui/,
#                       console/ or engine/; inside it, link < settings <
#                       list, convert < dvd, preview
#   console/            the console mode: no Qt, no gui/ or engine/
#   gui/                widgets, the skin, the main window: no engine/
#   engine/             the media engine: only engine/, platform/, shared/
# Run with: cmake -DROOT=<source dir> -P check_layers.cmake
set(core_rank_link 1)
set(core_rank_settings 2)
set(core_rank_list 3)
set(core_rank_convert 3)
set(core_rank_dvd 4)
set(core_rank_preview 4)

set(problems "")
function(complain file line why)
  set(problems "${problems};${file}: ${line} (${why})" PARENT_SCOPE)
endfunction()

function(check_file file)
  string(REGEX MATCH "^[a-z_]+" layer "${file}")
  set(sub "")
  if(layer STREQUAL "core")
    string(REGEX MATCH "^core/([a-z_]+)/" _ "${file}")
    set(sub "${CMAKE_MATCH_1}")
  endif()
  file(STRINGS "${ROOT}/${file}" lines REGEX "^#include [<\"]")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#include <Q" AND NOT layer STREQUAL "gui")
      complain("${file}" "${line}" "no Qt outside gui/")
      continue()
    endif()
    if(NOT line MATCHES "^#include \"([a-z_]+)/(([a-z_]+)/)?")
      continue()
    endif()
    set(to "${CMAKE_MATCH_1}")
    set(tosub "${CMAKE_MATCH_3}")
    if(layer STREQUAL "platform" OR layer STREQUAL "shared")
      if(NOT to STREQUAL "platform" AND NOT to STREQUAL "shared")
        complain("${file}" "${line}" "${layer}/ includes only platform/ and shared/")
      endif()
    elseif(layer STREQUAL "engine")
      if(NOT to MATCHES "^(engine|platform|shared)$")
        complain("${file}" "${line}" "the engine includes only engine/, platform/ and shared/")
      endif()
    elseif(layer STREQUAL "core")
      if(to MATCHES "^(gui|console|engine)$")
        complain("${file}" "${line}" "core/ includes no ${to}/")
      elseif(to STREQUAL "core" AND DEFINED core_rank_${tosub} AND DEFINED core_rank_${sub})
        if(core_rank_${tosub} GREATER core_rank_${sub})
          complain("${file}" "${line}" "core/${tosub}/ is above core/${sub}/")
        endif()
      endif()
    elseif(layer STREQUAL "console")
      if(to MATCHES "^(gui|engine)$")
        complain("${file}" "${line}" "console/ includes no ${to}/")
      endif()
    elseif(layer STREQUAL "gui")
      if(to STREQUAL "engine")
        complain("${file}" "${line}" "the window never includes the engine")
      endif()
    endif()
  endforeach()
  set(problems "${problems}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${ROOT}"
     "${ROOT}/platform/*.h" "${ROOT}/platform/*.cpp" "${ROOT}/shared/*.h" "${ROOT}/shared/*.cpp"
     "${ROOT}/core/*.h" "${ROOT}/core/*.cpp" "${ROOT}/console/*.h" "${ROOT}/console/*.cpp"
     "${ROOT}/gui/*.h" "${ROOT}/gui/*.cpp" "${ROOT}/engine/*.h" "${ROOT}/engine/*.cpp")
foreach(file IN LISTS sources)
  check_file("${file}")
endforeach()

list(FILTER problems EXCLUDE REGEX "^$")
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "Layer rule broken:\n  ${text}")
endif()
