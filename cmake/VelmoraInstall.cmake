# Where an installation puts everything, and the two Debian packages built
# from it by CPack (scripts/package); on Windows, one folder under Program
# Files and an NSIS installer.
include(GNUInstallDirs)
if(WIN32)
    # velmora.exe carries its icon as a resource.
    enable_language(RC)
endif()

set(VELMORA_APP_ID "org.velmora.Velmora")
set(VELMORA_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/velmora")
# The program finds its data folder relative to its own, so that an
# installation runs from wherever it lands (DESTDIR, an unpacked package).
file(RELATIVE_PATH VELMORA_DATA_FROM_BIN
    "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DATADIR}")
set(VELMORA_SYSTEMD_UNIT_DIR "${CMAKE_INSTALL_PREFIX}/lib/systemd/system" CACHE PATH
    "Where the service's systemd unit is installed")
set(VELMORA_SYSCONFDIR "${CMAKE_INSTALL_FULL_SYSCONFDIR}" CACHE PATH
    "Where the service's environment file is installed")

# The compiled catalogues (app/CMakeLists.txt builds them beside the program).
function(velmora_catalogues out)
    set(files "")
    foreach(language en fr ru)
        list(APPEND files "${PROJECT_BINARY_DIR}/app/translations/velmora_${language}.qm")
    endforeach()
    set(${out} "${files}" PARENT_SCOPE)
endfunction()

# Called once the targets exist.
function(velmora_install_rules)
    if(WIN32)
        velmora_install_rules_windows()
        return()
    endif()
    set(deploy "${PROJECT_SOURCE_DIR}/deploy")
    install(TARGETS velmora RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT velmora)
    file(GLOB assets "${PROJECT_SOURCE_DIR}/app/assets/*.png")
    install(FILES ${assets} DESTINATION "${VELMORA_INSTALL_DATADIR}" COMPONENT velmora)
    velmora_catalogues(catalogues)
    install(FILES ${catalogues} DESTINATION "${VELMORA_INSTALL_DATADIR}/translations" COMPONENT velmora)
    install(FILES "${deploy}/desktop/${VELMORA_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications" COMPONENT velmora)
    configure_file("${deploy}/desktop/${VELMORA_APP_ID}.metainfo.xml"
        "${PROJECT_BINARY_DIR}/deploy/${VELMORA_APP_ID}.metainfo.xml" @ONLY)
    install(FILES "${PROJECT_BINARY_DIR}/deploy/${VELMORA_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo" COMPONENT velmora)
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/app/assets/hicolor"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons" COMPONENT velmora)

    if(TARGET velmora-service)
        install(TARGETS velmora-service RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT service)
        configure_file("${deploy}/systemd/velmora-service.service.in"
            "${PROJECT_BINARY_DIR}/deploy/velmora-service.service" @ONLY)
        install(FILES "${PROJECT_BINARY_DIR}/deploy/velmora-service.service"
            DESTINATION "${VELMORA_SYSTEMD_UNIT_DIR}" COMPONENT service)
        install(FILES "${deploy}/systemd/velmora-service.env"
            DESTINATION "${VELMORA_SYSCONFDIR}/default" RENAME velmora-service COMPONENT service)
        install(FILES "${deploy}/systemd/velmora-service.sysusers"
            DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/sysusers.d" RENAME velmora-service.conf COMPONENT service)
        install(FILES "${deploy}/systemd/velmora-service.tmpfiles"
            DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/tmpfiles.d" RENAME velmora-service.conf COMPONENT service)
    endif()

    # What Debian wants in every package's documentation folder.
    find_program(VELMORA_GZIP gzip)
    foreach(package velmora velmora-service)
        set(component ${package})
        if(package STREQUAL "velmora-service")
            set(component service)
        endif()
        if(VELMORA_GZIP AND (package STREQUAL "velmora" OR TARGET velmora-service))
            configure_file("${deploy}/man/${package}.1" "${PROJECT_BINARY_DIR}/deploy/${package}/${package}.1" @ONLY)
            execute_process(COMMAND "${VELMORA_GZIP}" -9nf "${PROJECT_BINARY_DIR}/deploy/${package}/${package}.1")
            install(FILES "${PROJECT_BINARY_DIR}/deploy/${package}/${package}.1.gz"
                DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT ${component})
        endif()
        install(FILES "${deploy}/debian/copyright"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/${package}" COMPONENT ${component})
        if(VELMORA_GZIP)
            set(changelog "${PROJECT_BINARY_DIR}/deploy/${package}/changelog.Debian.gz")
            file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/deploy/${package}")
            configure_file("${deploy}/debian/changelog.in" "${PROJECT_BINARY_DIR}/deploy/${package}/changelog.Debian" @ONLY)
            execute_process(COMMAND "${VELMORA_GZIP}" -9nf "${PROJECT_BINARY_DIR}/deploy/${package}/changelog.Debian")
            install(FILES "${changelog}" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/${package}" COMPONENT ${component})
        endif()
    endforeach()
endfunction()

# Windows: the program with everything it loads in one folder, as Windows
# looks for DLLs beside the program and Qt for its plugins in sub folders
# there. Qt's files come from the Qt package the build found.
function(velmora_install_rules_windows)
    set(deploy "${PROJECT_SOURCE_DIR}/deploy/windows")
    target_sources(velmora PRIVATE "${deploy}/velmora.rc")
    set_property(SOURCE "${deploy}/velmora.rc" TARGET_DIRECTORY velmora APPEND PROPERTY
        OBJECT_DEPENDS "${deploy}/velmora.ico")

    install(TARGETS velmora RUNTIME DESTINATION . COMPONENT velmora)
    file(GLOB assets "${PROJECT_SOURCE_DIR}/app/assets/*.png")
    install(FILES ${assets} "${deploy}/velmora.ico" "${deploy}/qt.conf" DESTINATION . COMPONENT velmora)
    velmora_catalogues(catalogues)
    install(FILES ${catalogues} DESTINATION translations COMPONENT velmora)
    # Qt6Core, Gui, Widgets, Network and whatever else the program links.
    install(FILES $<TARGET_RUNTIME_DLLS:velmora> DESTINATION . COMPONENT velmora)

    # Plugins are loaded at run time, so no link names them. Without the
    # platform plugin nothing starts; without a TLS back-end no request works.
    set(plugins
        platforms QWindowsIntegrationPlugin REQUIRED
        styles QWindowsVistaStylePlugin OPTIONAL
        imageformats QJpegPlugin REQUIRED
        imageformats QGifPlugin OPTIONAL
        imageformats QICOPlugin OPTIONAL
        tls QSchannelBackendPlugin REQUIRED
        tls QTlsBackendCertOnlyPlugin OPTIONAL)
    while(plugins)
        list(POP_FRONT plugins folder plugin need)
        if(TARGET Qt6::${plugin})
            install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION ${folder} COMPONENT velmora)
        elseif(need STREQUAL "REQUIRED")
            message(FATAL_ERROR "The Qt found (${Qt6_DIR}) has no ${plugin}, which velmora.exe needs")
        else()
            message(STATUS "Qt plugin ${plugin} not found: left out of the installation")
        endif()
    endwhile()

    # A MinGW-built program needs the compiler's runtime DLLs: asked of the
    # compiler itself, so that they match what it linked against.
    if(MINGW)
        set(runtime "")
        foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND "${CMAKE_CXX_COMPILER}" "-print-file-name=${dll}"
                OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
                message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
            endif()
            file(REAL_PATH "${path}" path)
            list(APPEND runtime "${path}")
        endforeach()
        install(FILES ${runtime} DESTINATION . COMPONENT velmora)
        # They come with their symbols (libstdc++ alone is over 20 MB).
        if(CMAKE_STRIP)
            install(CODE "
                foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
                    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${dll}\" COMMAND_ERROR_IS_FATAL ANY)
                endforeach()" COMPONENT velmora)
        endif()
    endif()
endfunction()

# Two Debian packages: the desktop program and the service.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "velmora")
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "Velmora developers <packages@velmora.org>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL velmora service)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.org/")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_VELMORA_PACKAGE_NAME "velmora")
set(CPACK_DEBIAN_VELMORA_PACKAGE_SECTION "x11")
set(CPACK_COMPONENT_VELMORA_DESCRIPTION
    "wallpaper changer for the desktop\nVelmora keeps the desktop wallpaper fresh with pictures from a wallpaper\nservice, per monitor, on demand, on a schedule and at log-on. It lives in\nthe system tray.")
# Plugins are loaded at run time, so no library link names them: WebP and
# other picture formats, and the Wayland platform.
set(CPACK_DEBIAN_VELMORA_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-wayland")
set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME "velmora-service")
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION "net")
set(CPACK_COMPONENT_SERVICE_DESCRIPTION
    "wallpaper service for Velmora\nvelmora-service serves a wallpaper library to Velmora over HTTPS. The\npackage holds a confined systemd unit, configured in\n/etc/default/velmora-service.")
set(CPACK_DEBIAN_SERVICE_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/deploy/debian/velmora-service/conffiles"
    "${PROJECT_SOURCE_DIR}/deploy/debian/velmora-service/postinst"
    "${PROJECT_SOURCE_DIR}/deploy/debian/velmora-service/prerm"
    "${PROJECT_SOURCE_DIR}/deploy/debian/velmora-service/postrm")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")

# On Windows one NSIS installer instead: per machine into Program Files, with
# a Start-menu entry and an uninstaller; /S installs and removes silently.
if(WIN32)
    set(CPACK_GENERATOR "NSIS")
    # Passes the NSIS lines below to the installer script as written.
    set(CPACK_VERBATIM_VARIABLES ON)
    unset(CPACK_COMPONENTS_ALL)
    set(CPACK_MONOLITHIC_INSTALL ON)
    set(CPACK_PACKAGE_FILE_NAME "velmora-${PROJECT_VERSION}-win64")
    set(CPACK_PACKAGE_INSTALL_DIRECTORY "Velmora")
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Velmora")
    set(CPACK_NSIS_PACKAGE_NAME "Velmora")
    set(CPACK_NSIS_DISPLAY_NAME "Velmora")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
    set(CPACK_PACKAGE_EXECUTABLES "velmora" "Velmora")
    set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/deploy/windows/velmora.ico")
    set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/deploy/windows/velmora.ico")
    set(CPACK_NSIS_INSTALLED_ICON_NAME "velmora.exe")
    set(CPACK_NSIS_URL_INFO_ABOUT "https://velmora.org/")
    set(CPACK_NSIS_CONTACT "packages@velmora.org")
    set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
    set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/deploy/windows/license.txt")
    # A 64-bit installer for a 64-bit program: it reads and writes the same
    # registry view as the program, and needs no 32-bit Windows layer.
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    # A running Velmora holds velmora.exe open: nothing is removed until the
    # user quits it, rather than half of it. Then the start-with-Windows entry
    # the program wrote goes with it. The user's pictures, history and
    # settings live in the user's profile and stay.
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [[
  velmora_check:
  ClearErrors
  Delete "$INSTDIR\velmora.exe"
  IfErrors 0 velmora_gone
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Velmora is running. Quit it from the menu of its tray icon, then retry." /SD IDCANCEL IDRETRY velmora_check
  Abort "Velmora is running"
  velmora_gone:
  DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "Velmora"]])
endif()
