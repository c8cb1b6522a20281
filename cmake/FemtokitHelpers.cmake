# femtokit_add_library(<folder> [DEPENDS <targets>...])
#
# One static library per source folder: every .cc of the folder is compiled,
# every .h is installed under include/femtokit/<folder>/.  Headers are
# included as "<folder>/<name>.h" both in the tree and after installation.
set(FEMTOKIT_LIBRARIES "" CACHE INTERNAL "")
set(FEMTOKIT_PROGRAMS "" CACHE INTERNAL "")
set(FEMTOKIT_WARNINGS -Wall -Wextra)
set(FEMTOKIT_BIN_DIR ${PROJECT_BINARY_DIR}/bin)

function(femtokit_add_library folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(target femtokit_${folder})
  if(NOT sources)
    # A folder whose code has not arrived yet: keep the target so that the
    # folders above it can already link to it.
    add_library(${target} INTERFACE)
    add_library(femtokit::${folder} ALIAS ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${folder})
    target_include_directories(${target} INTERFACE
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/femtokit>)
    target_link_libraries(${target} INTERFACE ${ARG_DEPENDS})
    install(TARGETS ${target} EXPORT femtokitTargets)
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/femtokit/${folder})
    set(FEMTOKIT_LIBRARIES ${FEMTOKIT_LIBRARIES} ${target} CACHE INTERNAL "")
    return()
  endif()
  add_library(${target} STATIC ${sources} ${headers})
  add_library(femtokit::${folder} ALIAS ${target})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME femtokit_${folder}
                                             EXPORT_NAME ${folder}
                                             POSITION_INDEPENDENT_CODE ON)
  target_compile_features(${target} PUBLIC cxx_std_17)
  target_compile_options(${target} PRIVATE ${FEMTOKIT_WARNINGS})
  target_include_directories(${target} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/femtokit>)
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  install(TARGETS ${target} EXPORT femtokitTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/femtokit/${folder})
  set(FEMTOKIT_LIBRARIES ${FEMTOKIT_LIBRARIES} ${target} CACHE INTERNAL "")
endfunction()

# femtokit_add_program(<name> <sources>... [DEPENDS <targets>...])
# A command-line program installed into bin/.
function(femtokit_add_program name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE ${FEMTOKIT_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${FEMTOKIT_BIN_DIR})
  target_compile_definitions(${name} PRIVATE FEMTOKIT_VERSION="${PROJECT_VERSION}")
  set(FEMTOKIT_PROGRAMS ${FEMTOKIT_PROGRAMS} ${name} CACHE INTERNAL "")
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
