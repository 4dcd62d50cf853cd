# Two Debian packages from the two install components (packaging/CMakeLists.txt).
# scripts/package builds them from a Release build of their own.

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "palindor")
set(CPACK_PACKAGE_VENDOR "The Palindor developers")
set(CPACK_PACKAGE_CONTACT "The Palindor developers <packages@palindor.example>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL palindor localnet)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PALINDOR_HOME_URL}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_PALINDOR_PACKAGE_NAME "palindor")
set(CPACK_COMPONENT_PALINDOR_DESCRIPTION
"client for private collaboration networks
Palindor joins a zorvic network by its seven-digit number and signs in with
an account of that network. It offers contacts with presence and instant
messages, group chat sessions with a history, a mailbox with attachments,
polls, a whiteboard, shared documents and network administration.

The package also holds zorvic-dump, which decodes and encodes the messages
of the protocol, and the user guide.")
set(CPACK_DEBIAN_PALINDOR_PACKAGE_SUGGESTS "zorvic-localnet")

set(CPACK_DEBIAN_LOCALNET_PACKAGE_NAME "zorvic-localnet")
set(CPACK_COMPONENT_LOCALNET_DESCRIPTION
"local zorvic network server
zorvic-localnet runs the directory, network and file servers of a zorvic
network in one process, with its state in an SQLite database. It serves
Palindor clients on one computer or on a local network.

The package runs it as a systemd service under its own system user, with
its data in /var/lib/zorvic-localnet and its options in
/etc/default/zorvic-localnet.")
set(CPACK_DEBIAN_LOCALNET_PACKAGE_SECTION "net")
# The Qt SQL driver is loaded at run time, so the computed dependencies miss it.
set(CPACK_DEBIAN_LOCALNET_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_LOCALNET_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_LIST_DIR}/conffiles;${CMAKE_CURRENT_LIST_DIR}/postinst;${CMAKE_CURRENT_LIST_DIR}/prerm;${CMAKE_CURRENT_LIST_DIR}/postrm")

include(CPack)
