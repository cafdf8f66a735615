# add_qk_tool(NAME SOURCE [FAMILY object-library] [FRAME frame-library])
# One tool executable, named exactly as its deliverable, made of its own
# source, its family's shared transfer step, the frame (or its earlier
# revision) and the platform library: nothing else of ours.
set(QK_ALL_TOOLS "" CACHE INTERNAL "every tool target")

# qk_static_runtime(target): the program or library carries its own copy of
# the C++ runtime (QK_STATIC_RUNTIME, Linux; the Windows build links
# everything statically anyway). Nothing has to be installed beside the
# programs, and a run starts without loading and binding the shared runtime:
# about 1.3 of the 4.5 ms a tool run takes from start to end on the benchmark
# machine. The library's version script keeps its copy private.
option(QK_STATIC_RUNTIME "Link the C++ runtime into each program and the emulator library" ON)
function(qk_static_runtime target)
  if(QK_STATIC_RUNTIME AND NOT WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

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
  qk_static_runtime(${name})
  set(QK_ALL_TOOLS ${QK_ALL_TOOLS} ${name} CACHE INTERNAL "every tool target")
  install(TARGETS ${name} RUNTIME DESTINATION bin COMPONENT tools)
endfunction()

# add_qk_family(NAME [ANY_FRAME] sources...): a family's shared transfer
# steps, compiled once and linked into each member. ANY_FRAME: the family has
# members on the earlier revision of the frame too, so it brings only the
# frame's headers and each member links its own revision (add_qk_tool FRAME).
function(add_qk_family name)
  cmake_parse_arguments(F "ANY_FRAME" "" "" ${ARGN})
  add_library(${name} OBJECT ${F_UNPARSED_ARGUMENTS})
  if(F_ANY_FRAME)
    target_link_libraries(${name} PUBLIC qk_frame_headers qk_platform)
  else()
    target_link_libraries(${name} PUBLIC qk_frame qk_platform)
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/tools)
endfunction()
