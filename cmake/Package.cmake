# The Debian package, made by CPack from the installation (tools/package builds it and checks it
# with lintian). Its dependencies come from the shared libraries the program links, plus what
# the program loads at run time: the toolkit's display plugins and a Japanese font.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marevo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MAREVO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D sailing game with a Japanese user interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Each player sails one yacht on an endless sea. The wind always blows from one
direction; the yacht's heel and speed follow its angle to the wind, with the
sails trimmed or eased. Steer in 5-degree turns, set the spinnaker and switch
between three camera views. Sail alone or meet friends over the network: they
see your yacht, swap hull textures with you and chat.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MAREVO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${MAREVO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
