# add_qk_tool(NAME SOURCE [FRAME target] [EXTRA sources...])
# One tool executable, named exactly as its deliverable, linking the frame
# (or a variant of it) and the platform library and nothing else of ours.
set(QK_ALL_TOOLS "" CACHE INTERNAL "every tool target")

function(add_qk_tool name source)
  cmake_parse_arguments(T "" "FRAME" "EXTRA" ${ARGN})
  if(NOT T_FRAME)
    set(T_FRAME qk_frame)
  endif()
  add_executable(${name} ${source} ${T_EXTRA})
  target_link_libraries(${name} PRIVATE ${T_FRAME} qk_platform)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set(QK_ALL_TOOLS ${QK_ALL_TOOLS} ${name} CACHE INTERNAL "every tool target")
  install(TARGETS ${name} RUNTIME DESTINATION bin COMPONENT tools)
endfunction()
