# Installation as a desktop program:
#   PREFIX/lib/classifiers/   Classifiers, tarnel and classify side by side (the front end starts
#                             the classifiers from its own folder)
#   PREFIX/bin/               classifiers, tarnel, classify: relative symbolic links into it
#   PREFIX/share/             desktop entry, icon, AppStream metainfo, manual pages
# Classifier and its debug/ folder are development builds and are not installed.
include(GNUInstallDirs)

# The name the desktop entry, the icon and the metainfo share (a reverse domain name).
set(CLASSIFIERS_APP_ID "io.github.classifiers.Classifiers")
set(CLASSIFIERS_PROGRAM_DIR "lib/classifiers" CACHE STRING
    "Folder under the install prefix that holds the front end and the classifier programs")

set(_packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(_generated ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_generated})

set(_installed_programs tarnel classify)
if(CLASSIFIERS_APP)
    list(PREPEND _installed_programs Classifiers)
endif()
install(TARGETS ${_installed_programs} RUNTIME DESTINATION ${CLASSIFIERS_PROGRAM_DIR})

# The cluster programs, where MPI was found: in bin/ and in a component of their own, the package
# classifiers-mpi (see Package.cmake), so that the desktop package never depends on MPI.
if(TARGET classify-mpi)
    install(TARGETS classify-mpi tarnel-mpi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT mpi)
endif()

# The commands: links from bin/ into the program folder. The front end resolves the link to its
# real folder, so it finds the classifiers beside itself.
file(RELATIVE_PATH _bin_to_programs /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${CLASSIFIERS_PROGRAM_DIR})
foreach(_program ${_installed_programs})
    string(TOLOWER ${_program} _command)
    install(CODE "
        set(_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        message(STATUS \"Installing: \${_dir}/${_command}\")
        file(MAKE_DIRECTORY \"\${_dir}\")
        file(CREATE_LINK \"${_bin_to_programs}/$<TARGET_FILE_NAME:${_program}>\"
             \"\${_dir}/${_command}\" SYMBOLIC)
    ")
endforeach()

# Desktop entry, icon and metainfo, named by the application's id.
if(CLASSIFIERS_APP)
    configure_file(${_packaging}/classifiers.desktop.in
                   ${_generated}/${CLASSIFIERS_APP_ID}.desktop @ONLY)
    configure_file(${_packaging}/classifiers.metainfo.xml.in
                   ${_generated}/${CLASSIFIERS_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${_generated}/${CLASSIFIERS_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${_generated}/${CLASSIFIERS_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${_packaging}/classifiers.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${CLASSIFIERS_APP_ID}.svg)
endif()

# Manual pages. The classifiers' pages are made from their own --help and --version by help2man,
# plus the sections --help lacks (packaging/NAME.h2m), so page and help say the same.
set(_man_pages "")
if(CLASSIFIERS_APP)
    set(CLASSIFIERS_PROGRAM_PATH "${CMAKE_INSTALL_PREFIX}/${CLASSIFIERS_PROGRAM_DIR}")
    configure_file(${_packaging}/classifiers.1.in ${_generated}/classifiers.1 @ONLY)
    list(APPEND _man_pages ${_generated}/classifiers.1)
endif()
# help2man is a build requirement (scripts/setup installs it).
find_program(CLASSIFIERS_HELP2MAN help2man REQUIRED)
foreach(_program tarnel classify)
    add_custom_command(
        OUTPUT ${_generated}/${_program}.1
        COMMAND ${CLASSIFIERS_HELP2MAN} --no-info --section=1
                "--source=Classifiers ${PROJECT_VERSION}" "--manual=User Commands"
                --include=${_packaging}/${_program}.h2m
                --output=${_generated}/${_program}.1 $<TARGET_FILE:${_program}>
        DEPENDS ${_program} ${_packaging}/${_program}.h2m
        COMMENT "Writing the manual page of ${_program}"
        VERBATIM)
    list(APPEND _man_pages ${_generated}/${_program}.1)
endforeach()
# Installed compressed, as the manual reader and Debian expect.
set(_man_gz "")
foreach(_page ${_man_pages})
    add_custom_command(OUTPUT ${_page}.gz
                       COMMAND gzip -9 -n -f -k ${_page}
                       DEPENDS ${_page}
                       VERBATIM)
    list(APPEND _man_gz ${_page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${_man_gz})
install(FILES ${_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The installed layout, checked by installing this build into a temporary prefix.
if(CLASSIFIERS_TESTS)
    add_test(NAME install_layout
             COMMAND bash ${_packaging}/check_install.sh ${CMAKE_BINARY_DIR}
                     ${CLASSIFIERS_APP_ID} ${CLASSIFIERS_PROGRAM_DIR}
                     $<IF:$<BOOL:${CLASSIFIERS_APP}>,app,no-app> man)
    set_tests_properties(install_layout PROPERTIES TIMEOUT 120)
endif()
