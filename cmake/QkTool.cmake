# add_qk_tool(NAME SOURCE [FAMILY object-library] [FRAME frame-library])
# One tool executable, named exactly as its deliverable, made of its own
# source, its family's shared transfer step, the frame (or its earlier
# revision) and the platform library: nothing else of ours.
set(QK_ALL_TOOLS "" CACHE INTERNAL "every tool target")

function(add_qk_tool name source)
  cmake_parse_arguments(T "" "FAMILY;FRAME" "" ${ARGN})
  if(NOT T_FRAME)
    set(T_FRAME qk_frame)
  endif()
  add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/frame/main.cpp)
  if(T_FAMILY)
    target_link_libraries(${name} PRIVATE ${T_FAMILY})
  endif()
  target_link_libraries(${name} PRIVATE ${T_FRAME} qk_platform)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tools)
  set(QK_ALL_TOOLS ${QK_ALL_TOOLS} ${name} CACHE INTERNAL "every tool target")
  install(TARGETS ${name} RUNTIME DESTINATION bin COMPONENT tools)
endfunction()

# add_qk_family(NAME sources...): a family's shared transfer steps, compiled
# once and linked into each member.
function(add_qk_family name)
  add_library(${name} OBJECT ${ARGN})
  target_link_libraries(${name} PUBLIC qk_frame qk_platform)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/tools)
endfunction()
