# Installation and the Debian package. The executable finds Skin/ and Sounds/ beside itself, so
# all three live together in lib/pulsor and bin/ gets a link to it.
set(PULSOR_INSTALL_DIR lib/pulsor)

install(TARGETS pulsor RUNTIME DESTINATION ${PULSOR_INSTALL_DIR})
# pulsor-make-kit speaks a user's words with the program's own voices.
install(TARGETS pulsor-make-kit RUNTIME DESTINATION ${PULSOR_INSTALL_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/Skin ${CMAKE_SOURCE_DIR}/assets/Sounds
        DESTINATION ${PULSOR_INSTALL_DIR})

# A relative link, so the tree can be moved (DESTDIR, the package's staging folder).
set(PULSOR_BIN_LINK ${CMAKE_BINARY_DIR}/packaging/pulsor)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../${PULSOR_INSTALL_DIR}/pulsor ${PULSOR_BIN_LINK} SYMBOLIC)
install(FILES ${PULSOR_BIN_LINK} DESTINATION bin)
set(PULSOR_MAKE_KIT_LINK ${CMAKE_BINARY_DIR}/packaging/pulsor-make-kit)
file(CREATE_LINK ../${PULSOR_INSTALL_DIR}/pulsor-make-kit ${PULSOR_MAKE_KIT_LINK} SYMBOLIC)
install(FILES ${PULSOR_MAKE_KIT_LINK} DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/pulsor.desktop DESTINATION share/applications)
# What software centres show (AppStream); `appstreamcli validate --no-net` checks it.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/example.harrowmint.pulsor.metainfo.xml
        DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/pulsor.1 ${CMAKE_SOURCE_DIR}/packaging/pulsor-make-kit.1
        DESTINATION share/man/man1)
# The licence, in Debian's machine-readable form where Debian looks for it.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/pulsor)
foreach(size 16 32 64)
    install(FILES ${CMAKE_SOURCE_DIR}/assets/resources/101_${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME pulsor.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pulsor)
set(CPACK_PACKAGE_VENDOR Harrowmint)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT Harrowmint)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finger-driven talk box")
set(CPACK_PACKAGE_DESCRIPTION
    "A full-screen soundboard whose 4x4 pad of word cells speaks under the finger, with a beat.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER Harrowmint)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The voices: libespeak-ng1 is opened when a word is spoken, not linked, so it is named here by
# hand; it brings espeak-ng-data, the voices and dictionaries it speaks with. libsox3 is used for
# its effects only, which it holds itself: none of its format modules (libsox-fmt-*) is loaded.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libsdl2-2.0-0, libpng16-16, libfreetype6, libfontconfig1, libharfbuzz0b, libfribidi0, libsndfile1, libsoxr0, libebur128-1, libasound2, libjack-jackd2-0 | libjack-0.125, libx11-6, libpulse0, libespeak-ng1, espeak-ng-data, libsox3")
# A sans face for the labels, and the donation button's browser launcher.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, xdg-utils")
include(CPack)
