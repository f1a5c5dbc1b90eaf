# `cpack -G DEB` in the build folder makes torvane_<version>_<arch>.deb for Debian 12.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvane)
set(CPACK_PACKAGE_VENDOR Torvane)
set(CPACK_PACKAGE_CONTACT "Torvane developers <torvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Avelor: members, tickets and loyalty points of an airline-ticket agency")
set(CPACK_PACKAGE_DESCRIPTION "Avelor keeps the customer (member) archive of an airline-ticket agency,
every ticket a member buys with the points it earns, points clearing and
transfer, operators with rights and an activity log, statistics, queries
and printed reports. The archive lives either in one SQLite file on the
PC, chosen (or made empty) at the first start, or on a PostgreSQL server
that several counters share.")
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

# Debian's policy asks every package for its copyright and its changelog,
# compressed to the byte the same from one build to the next.
set(TORVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/torvane)
configure_file(${CMAKE_SOURCE_DIR}/data/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/changelog.Debian
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES data/debian/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz DESTINATION ${TORVANE_DOC_DIR})
include(CPack)
