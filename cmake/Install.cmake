# Installing the program.
#
# "cmake --install <build> --prefix P" makes one folder, P, that holds
# everything the program runs from, found relative to its executables
# (app/InstallFolder.h), so that P can be moved or replaced whole:
#
#   P/bin/vantorix-installer            the window program
#   P/bin/vantorix                      the command line
#   P/share/vantorix-installer/icons/   the program's icon
#
# Three install components:
#   app     that folder (the default install);
#   system  the desktop's view of a folder at ${VANTORIX_PACKAGE_PREFIX}: the
#           /usr/bin/vantorix link, the desktop entry, icons, AppStream
#           metadata and the package documents, at absolute paths, so only
#           the package installs it;
#   dev     the developer programs (the service stand-in and the fake host
#           maker), only when asked for: --component dev.
#
# On macOS the same targets build "Vantorix Installer.app" instead, with the
# command line in Contents/MacOS and the resources in Contents/Resources.

set(VANTORIX_PACKAGE_NAME vantorix-installer)
set(VANTORIX_PACKAGE_PREFIX /opt/vantorix-installer)
set(VANTORIX_APP_ID com.vantorixhq.VantorixInstaller)
set(VANTORIX_RELEASE_DATE 2026-12-07)
set(VANTORIX_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 12:00:00 +0000")

set(VANTORIX_ICON_DIR ${PROJECT_SOURCE_DIR}/resources/icons)
set(VANTORIX_ICON_SIZES 16 24 32 48 64 128 256)
set(VANTORIX_ICON_FILES ${VANTORIX_ICON_DIR}/vantorix-installer.svg)
foreach(size ${VANTORIX_ICON_SIZES})
    list(APPEND VANTORIX_ICON_FILES ${VANTORIX_ICON_DIR}/vantorix-installer-${size}.png)
endforeach()

# Directories made by an install are 0755 whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(APPLE)
    # Not built here (no macOS machine): kept so that the bundle builds there.
    set(VANTORIX_ICNS ${VANTORIX_ICON_DIR}/VantorixInstaller.icns)
    target_sources(vantorix-installer PRIVATE ${VANTORIX_ICNS} ${VANTORIX_ICON_FILES})
    set_source_files_properties(${VANTORIX_ICNS} TARGET_DIRECTORY vantorix-installer
        PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
    set_source_files_properties(${VANTORIX_ICON_FILES} TARGET_DIRECTORY vantorix-installer
        PROPERTIES MACOSX_PACKAGE_LOCATION Resources/icons)
    set_target_properties(vantorix-installer PROPERTIES
        MACOSX_BUNDLE ON
        OUTPUT_NAME "Vantorix Installer"
        MACOSX_BUNDLE_INFO_PLIST ${PROJECT_SOURCE_DIR}/packaging/macos/Info.plist.in
        MACOSX_BUNDLE_BUNDLE_NAME "Vantorix Installer"
        MACOSX_BUNDLE_GUI_IDENTIFIER com.vantorixhq.vantorix-installer
        MACOSX_BUNDLE_ICON_FILE VantorixInstaller.icns
        MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
        MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION})
    # The command line lives inside the bundle, beside the window program.
    set_target_properties(vantorix-cli PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Vantorix Installer.app/Contents/MacOS")
    add_dependencies(vantorix-installer vantorix-cli)
    install(TARGETS vantorix-installer BUNDLE DESTINATION . COMPONENT app)
else()
    install(TARGETS vantorix-installer vantorix-cli RUNTIME DESTINATION bin COMPONENT app)
    install(FILES ${VANTORIX_ICON_FILES} DESTINATION share/vantorix-installer/icons COMPONENT app)
    # The build folder has the same shape, so that the built programs find
    # their resources the same way.
    file(COPY ${VANTORIX_ICON_FILES} DESTINATION ${CMAKE_BINARY_DIR}/share/vantorix-installer/icons)
endif()

install(TARGETS vantorix-service vantorix-fakehost RUNTIME DESTINATION bin COMPONENT dev EXCLUDE_FROM_ALL)

if(NOT APPLE)
    set(packaging ${CMAKE_BINARY_DIR}/packaging)
    set(VANTORIX_DESKTOP_EXEC ${VANTORIX_PACKAGE_PREFIX}/bin/vantorix-installer)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/desktop.in ${packaging}/${VANTORIX_APP_ID}.desktop @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/metainfo.xml.in
        ${packaging}/${VANTORIX_APP_ID}.metainfo.xml @ONLY)
    foreach(document changelog vantorix.1)
        configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/${document} ${packaging}/${document} @ONLY)
        execute_process(COMMAND gzip -9nf ${packaging}/${document} RESULT_VARIABLE gzip_result)
        if(NOT gzip_result EQUAL 0)
            message(FATAL_ERROR "gzip could not compress ${packaging}/${document}")
        endif()
    endforeach()
    file(REMOVE ${packaging}/vantorix)
    file(CREATE_LINK ${VANTORIX_PACKAGE_PREFIX}/bin/vantorix ${packaging}/vantorix SYMBOLIC)

    set(system COMPONENT system EXCLUDE_FROM_ALL)
    install(FILES ${packaging}/vantorix DESTINATION /usr/bin ${system})
    install(FILES ${packaging}/vantorix.1.gz DESTINATION /usr/share/man/man1 ${system})
    install(FILES ${packaging}/${VANTORIX_APP_ID}.desktop DESTINATION /usr/share/applications ${system})
    install(FILES ${packaging}/${VANTORIX_APP_ID}.metainfo.xml DESTINATION /usr/share/metainfo ${system})
    foreach(size ${VANTORIX_ICON_SIZES})
        install(FILES ${VANTORIX_ICON_DIR}/vantorix-installer-${size}.png
            DESTINATION /usr/share/icons/hicolor/${size}x${size}/apps RENAME ${VANTORIX_APP_ID}.png ${system})
    endforeach()
    install(FILES ${VANTORIX_ICON_DIR}/vantorix-installer.svg
        DESTINATION /usr/share/icons/hicolor/scalable/apps RENAME ${VANTORIX_APP_ID}.svg ${system})
    # The package's folder says it is the package manager's: the installer
    # never replaces it itself, not even for root (app/update/Updater.h).
    file(WRITE ${packaging}/package-managed
        "This folder is installed and updated by the system's package manager.\n")
    install(FILES ${packaging}/package-managed DESTINATION ${VANTORIX_PACKAGE_PREFIX}/share/vantorix-installer
        ${system})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/copyright ${packaging}/changelog.gz
        DESTINATION /usr/share/doc/${VANTORIX_PACKAGE_NAME} ${system})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lintian-overrides
        DESTINATION /usr/share/lintian/overrides RENAME ${VANTORIX_PACKAGE_NAME} ${system})

    # The Debian package (scripts/package): the app folder under
    # ${VANTORIX_PACKAGE_PREFIX} and the system files, with the dependencies
    # worked out by dpkg-shlibdeps.
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME ${VANTORIX_PACKAGE_NAME})
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGE_VENDOR Vantorix)
    set(CPACK_PACKAGE_CONTACT "Vantorix Support <support@vantorix.example>")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "installer for Vantorix Tools, the ArchiCAD add-ons")
    set(CPACK_PACKAGE_DESCRIPTION
        "The Vantorix Installer signs in to a Vantorix account, finds the ArchiCAD\n"
        "installations on the computer, and installs, updates and removes the\n"
        "Vantorix Tools that the account may use. The vantorix command drives the\n"
        "same installer from scripts and needs no display.")
    string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.vantorix.example/)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    # With DESTDIR (for the absolute paths above) CPack installs at CPACK_INSTALL_PREFIX.
    set(CPACK_PACKAGING_INSTALL_PREFIX ${VANTORIX_PACKAGE_PREFIX})
    set(CPACK_INSTALL_PREFIX ${VANTORIX_PACKAGE_PREFIX})
    set(CPACK_SET_DESTDIR ON)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
    set(CPACK_INSTALL_CMAKE_PROJECTS
        "${CMAKE_BINARY_DIR};${PROJECT_NAME};app;/"
        "${CMAKE_BINARY_DIR};${PROJECT_NAME};system;/")
    include(CPack)
endif()
