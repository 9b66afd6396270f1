# Installation: both programs, their icons and desktop entries, and the demo database.
install(TARGETS Corvane Vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(size 16 24 32 48 64 72 96 128 256)
  foreach(program corvane vantrel)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/app-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${program}.png)
  endforeach()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/corvane.desktop ${PROJECT_SOURCE_DIR}/resources/linux/vantrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The demo notary database's scripts and the report template samples.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/db/ DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/db)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/create-demo-db.sh ${PROJECT_SOURCE_DIR}/scripts/fb-server.sh
        DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/scripts)

# A Windows build carries the icon, the version information and the manifest as resources.
if(WIN32)
  function(add_windows_resources target rc version)
    string(REPLACE "." ";" parts ${version})
    list(GET parts 0 major)
    list(GET parts 1 minor)
    list(GET parts 2 release)
    list(GET parts 3 build)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/windows/${rc})
    set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/windows/${rc} TARGET_DIRECTORY ${target}
      PROPERTIES COMPILE_DEFINITIONS
      "APP_VER_MAJOR=${major};APP_VER_MINOR=${minor};APP_VER_RELEASE=${release};APP_VER_BUILD=${build}")
    if(MSVC)
      target_link_options(${target} PRIVATE /MANIFEST:NO)
    endif()
  endfunction()
  add_windows_resources(Corvane corvane.rc ${CORVANE_FILE_VERSION})
  add_windows_resources(Vantrel vantrel.rc ${VANTREL_FILE_VERSION})
endif()
