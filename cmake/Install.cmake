# Install layout and the Debian package.
#
#   bin/brimvale                               the client; its run path finds the folder below
#   lib/<arch>/brimvale/                       private folder: our SDK libraries, the upgrade tool
#   share/applications/<id>.desktop            desktop entry
#   share/icons/hicolor/<n>x<n>/apps/brimvale.png
#   share/metainfo/<id>.metainfo.xml           AppStream metadata
#   share/doc/brimvale/                        copyright and changelog
#   share/man/man1/brimvale.1.gz               manual page
#
# A development build keeps running from its build folder: the build tree keeps CMake's build
# run path, and the install run path is written only into installed files.

include(GNUInstallDirs)

set(BRV_APP_ID "com.brimvale.client")
# Below the architecture's library folder, as Debian keeps packages' private libraries; that also
# spares the package an ldconfig run, which private libraries do not need.
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(brv_private_default "lib/${CMAKE_LIBRARY_ARCHITECTURE}/brimvale")
else()
    set(brv_private_default "lib/brimvale")
endif()
set(BRV_INSTALL_PRIVATEDIR "${brv_private_default}" CACHE STRING
    "Private folder of the client's own shared libraries and tools, below the prefix")
# The private folder as the executable sees it; start-up looks for the upgrade tool there.
file(RELATIVE_PATH BRV_PRIVATEDIR_FROM_BIN "/prefix/${CMAKE_INSTALL_BINDIR}"
    "/prefix/${BRV_INSTALL_PRIVATEDIR}")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Installs one of our own shared libraries into the private folder. The SDK folders call it, or
# brv_install_client() does for the SDK targets it knows.
function(brv_install_private_library target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target}
        LIBRARY DESTINATION ${BRV_INSTALL_PRIVATEDIR} NAMELINK_SKIP
        RUNTIME DESTINATION ${BRV_INSTALL_PRIVATEDIR})
    set_property(GLOBAL APPEND PROPERTY BRV_PRIVATE_LIBRARIES ${target})
endfunction()

function(brv_install_client)
    set_target_properties(brimvale PROPERTIES INSTALL_RPATH "$ORIGIN/${BRV_PRIVATEDIR_FROM_BIN}")
    install(TARGETS brimvale RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    get_property(done GLOBAL PROPERTY BRV_PRIVATE_LIBRARIES)
    foreach(sdk brv_im brv_av)
        if(TARGET ${sdk} AND NOT sdk IN_LIST done)
            brv_install_private_library(${sdk})
        endif()
    endforeach()

    set(dist ${PROJECT_SOURCE_DIR}/dist)
    set(out ${PROJECT_BINARY_DIR}/dist)
    configure_file(${dist}/brimvale.desktop.in ${out}/${BRV_APP_ID}.desktop @ONLY)
    configure_file(${dist}/brimvale.metainfo.xml.in ${out}/${BRV_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${out}/${BRV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${out}/${BRV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # The theme's sizes, scaled from the application icon at build time.
    set(sizes 16 24 32 48 64 128 256)
    set(icons)
    foreach(n ${sizes})
        list(APPEND icons ${out}/icons/${n}/brimvale.png)
        install(FILES ${out}/icons/${n}/brimvale.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${n}x${n}/apps)
    endforeach()
    add_custom_command(OUTPUT ${icons}
        COMMAND brv_iconsizes ${PROJECT_SOURCE_DIR}/src/res/icon/icon.png ${out}/icons ${sizes}
        DEPENDS brv_iconsizes ${PROJECT_SOURCE_DIR}/src/res/icon/icon.png
        COMMENT "Scaling the application icon to the icon theme's sizes")

    # Debian wants both files in the package's documentation folder; the changelog compressed
    # without a time stamp, so that the package is reproducible.
    add_custom_command(OUTPUT ${out}/changelog.gz
        COMMAND gzip -9nc ${dist}/changelog > ${out}/changelog.gz
        DEPENDS ${dist}/changelog)
    add_custom_target(brv_dist ALL DEPENDS ${icons} ${out}/changelog.gz ${out}/brimvale.1.gz)
    install(FILES ${dist}/copyright ${out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
    add_custom_command(OUTPUT ${out}/brimvale.1.gz
        COMMAND gzip -9nc ${dist}/brimvale.1 > ${out}/brimvale.1.gz
        DEPENDS ${dist}/brimvale.1)
    install(FILES ${out}/brimvale.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
