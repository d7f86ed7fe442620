# The Debian packages: "kbupdate" (the product) and "kbupdate-emulator"
# (kbemu, with KB_INSTALL_EMULATOR), each with its debug information split
# off into a -dbgsym package. scripts/package makes them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kbupdate)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The kbupdate authors")
set(CPACK_PACKAGE_CONTACT "${KB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The DEB generator strips the programs itself, moving their debug information
# into the -dbgsym packages; CPACK_STRIP_FILES would strip it away first.
set(CPACK_STRIP_FILES OFF)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_COMPONENTS_ALL product)
if(KB_INSTALL_EMULATOR)
  list(APPEND CPACK_COMPONENTS_ALL emulator)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ISPDLL is found through mcuprog's $ORIGIN; dpkg-shlibdeps is told where it is.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)

set(CPACK_DEBIAN_PRODUCT_PACKAGE_NAME kbupdate)
set(CPACK_COMPONENT_PRODUCT_DESCRIPTION
    "firmware updater for the USB keyboard with touchpad
kbupdate shows the keyboard (2C7A:5B1D) and its firmware version and, on
'Update', restarts it into its boot loader (04D9:8022); mcuprog then burns
the firmware file USBKeyboard.MTP from /usr/lib/kbupdate into it. The
package also holds kbctl, which lists the keyboards and sets their Fn, mute
and microphone locks from a terminal, mtptool, which makes and checks .MTP
files, hidlist, which lists the HID interfaces the programs see, and a udev
rule that gives the user at the seat and the group plugdev access to the two
devices.")
set(CPACK_DEBIAN_PRODUCT_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)

set(CPACK_DEBIAN_EMULATOR_PACKAGE_NAME kbupdate-emulator)
set(CPACK_COMPONENT_EMULATOR_DESCRIPTION
    "emulated USB keyboard with touchpad for testing kbupdate
kbemu makes the keyboard and its boot loader appear on this machine's
kernel through /dev/uhid, for demonstrations and tests of kbupdate and
mcuprog without the real keyboard. It needs access to /dev/uhid.")
set(CPACK_DEBIAN_EMULATOR_PACKAGE_SECTION devel)

include(CPack)
