# The Debian package: cpack -G DEB in the build folder gives brimvale_<version>_<arch>.deb.
find_program(BRV_DPKG dpkg)
if(BRV_DPKG)
    execute_process(COMMAND ${BRV_DPKG} --print-architecture
        OUTPUT_VARIABLE BRV_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
    set(BRV_DEB_ARCH amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brimvale)
set(CPACK_PACKAGE_VERSION ${BRV_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Brimvale Developers")
set(CPACK_PACKAGE_CONTACT "Brimvale Developers <dev@brimvale.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for live online classes")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME "brimvale_${BRV_VERSION_TEXT}_${BRV_DEB_ARCH}")
set(CPACK_DEBIAN_FILE_NAME "brimvale_${BRV_VERSION_TEXT}_${BRV_DEB_ARCH}.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${BRV_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brimvale.invalid/")
# CPack puts the summary first and indents these lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brimvale is the desktop client of an online-education service. Students,
teachers and teaching assistants sign in, work in the service's web
application and take part in live classes: camera and microphone streams,
chat, whiteboard, screen sharing and recording, with a device test before
class.")
# Libraries from the binaries; our private folder is searched too.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps runs in the staging folder, so the folder is given below the package prefix.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "usr/${BRV_INSTALL_PRIVATEDIR}")
# What the binaries do not name: media plugins for audio and video, fonts for Chinese text, the
# PCI id list for the device description.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5multimedia5-plugins, gstreamer1.0-plugins-base, \
gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-nice, gstreamer1.0-x, \
gstreamer1.0-gl, gstreamer1.0-pulseaudio | gstreamer1.0-alsa, fonts-noto-cjk, pci.ids")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Class servers for a school that runs its own: never needed on a pupil's machine.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prosody, janus")

include(CPack)
