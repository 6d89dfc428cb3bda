include(GNUInstallDirs)

# The stand-ins are shared libraries, one copy per process like the system libraries they
# stand in for: libstandin-<name>.so. Once loaded they stay (a thread they started may still
# be finishing when the library that asked for it goes). Their headers are installed
# together under include/standin.
function(platform_library target)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME standin-${target}
                                             INSTALL_RPATH "$ORIGIN")
  target_link_options(${target} PRIVATE -Wl,-z,nodelete)
  install(TARGETS ${target} LIBRARY)
  install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/standin)
endfunction()

# No STB_GNU_UNIQUE symbols in what a deliverable is built from: the loader never unloads
# a library that defines one, and the deliverables go away with dlclose.
set(NO_GNU_UNIQUE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)

# A deliverable library exports only the entry points named in its version script; all
# else is hidden, so that nothing of its own binds to another module's copy.
function(deliverable_library target version_script)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON
                                             INSTALL_RPATH "$ORIGIN"
                                             LINK_DEPENDS ${version_script})
  target_compile_options(${target} PRIVATE ${NO_GNU_UNIQUE})
  target_link_options(${target} PRIVATE -Wl,--version-script=${version_script})
  install(TARGETS ${target} LIBRARY)
endfunction()

# install_pkgconfig(<name>): lib/pkgconfig/<name>.pc from cmake/pkgconfig/<name>.pc.in. The
# file finds the kit relative to itself, so the kit may be installed under any prefix.
file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
function(install_pkgconfig name)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/pkgconfig/${name}.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${name}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()
