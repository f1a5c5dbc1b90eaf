# `cpack -G DEB` in the build folder makes torvane_<version>_<arch>.deb for Debian 12.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvane)
set(CPACK_PACKAGE_VENDOR Torvane)
set(CPACK_PACKAGE_CONTACT "Torvane developers <torvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Avelor: members, tickets and loyalty points of an airline-ticket agency")
set(CPACK_PACKAGE_DESCRIPTION "Avelor keeps the customer (member) archive of an airline-ticket agency,
every ticket a member buys with the points it earns, points clearing and
transfer, operators with rights and an activity log, statistics, queries
and printed reports. Its data live in one SQLite file, chosen (or made
empty) at the first start.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the program links are read from the binary by dpkg-shlibdeps;
# what it loads or shows without linking is named here: Chinese glyphs, Qt's
# own dialogs in Chinese, and the platform plugin of Wayland sessions (the X11
# one comes with the Qt GUI library).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, qt6-translations-l10n, qt6-wayland")
include(CPack)
