# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages, one per install component: quillon (the app),
# quillon-receiver, and quillon-receiver-uinput (the optional udev rule).
# scripts/make-packages builds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_CONTACT "${QUILLON_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Installed with DESTDIR and the real prefix, so that what is made while
# installing (the receiver's unit) names the real paths.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(QUILLON_BUILD_CLIENT)
  set(CPACK_COMPONENTS_ALL app receiver uinput)
else()
  set(CPACK_COMPONENTS_ALL receiver uinput)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The project has no home page and no address: neither is made up here.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLON_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps computes what the programs link against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_APP_PACKAGE_NAME quillon)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION x11)
# Qt loads its platform plugins at run time, where dpkg-shlibdeps cannot see
# them: X11 comes with qt6-qpa-plugins, Wayland with qt6-wayland.
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_APP_PACKAGE_SUGGESTS "quillon-receiver")
set(CPACK_COMPONENT_APP_DESCRIPTION "touch remote control for a computer
Quillon turns a phone or any touch screen into a remote control for a
computer on the same network: a touch pad with tap-to-click, tap-and-drag
and a wheel strip, a full PC keyboard and a media remote. It finds the
computers that run quillon-receiver by a broadcast and logs in to one with
a passcode.")

set(CPACK_DEBIAN_RECEIVER_PACKAGE_NAME quillon-receiver)
set(CPACK_DEBIAN_RECEIVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_RECEIVER_PACKAGE_SUGGESTS "quillon-receiver-uinput")
set(CPACK_COMPONENT_RECEIVER_DESCRIPTION "receiver for the Quillon touch remote control
quillon-receiver answers the Quillon app's discovery broadcasts, checks its
passcode and turns its keyboard and mouse events into input on this
computer: through the desktop's remote-desktop portal under Wayland (the
desktop asks the user once), through XTest on an X display, or through a
virtual keyboard and mouse (uinput) typing in the computer's keyboard layout.
Once enabled, a systemd user unit starts it at every desktop login, in a
sandbox.")
# The XDG autostart entry is the one file in /etc: a configuration file,
# which dpkg keeps when the user has changed it.
if(QUILLON_XDG_AUTOSTART_DIR STREQUAL "auto")
  set(autostart_dir /etc/xdg/autostart)
elseif(IS_ABSOLUTE "${QUILLON_XDG_AUTOSTART_DIR}")
  set(autostart_dir "${QUILLON_XDG_AUTOSTART_DIR}")
else()
  set(autostart_dir "${CPACK_PACKAGING_INSTALL_PREFIX}/${QUILLON_XDG_AUTOSTART_DIR}")
endif()
file(WRITE "${PROJECT_BINARY_DIR}/packaging/debian/quillon-receiver/conffiles"
  "${autostart_dir}/quillon-receiver.desktop\n")
set(CPACK_DEBIAN_RECEIVER_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/packaging/debian/quillon-receiver/conffiles")

set(CPACK_DEBIAN_UINPUT_PACKAGE_NAME quillon-receiver-uinput)
set(CPACK_DEBIAN_UINPUT_PACKAGE_SECTION net)
set(CPACK_DEBIAN_UINPUT_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_UINPUT_PACKAGE_DEPENDS "quillon-receiver, udev")
set(CPACK_COMPONENT_UINPUT_DESCRIPTION "lets quillon-receiver drive the console through uinput
A udev rule that gives the user logged in at the seat access to
/dev/uinput, so that quillon-receiver --sink uinput can make a virtual
keyboard and mouse. Any program of that user can then type and move the
pointer; install it only where that is wanted.")

include(CPack)
