# The Debian package, made by CPack from the install rules (scripts/package.sh). Its
# dependencies are worked out by dpkg-shlibdeps from the libraries the program links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumofree)
set(CPACK_PACKAGE_CONTACT "Lumo free developers <dev@lumo.local>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "webcam recorder in a small skinned window")
set(CPACK_PACKAGE_DESCRIPTION
    "Lumo free shows the live picture of a webcam in a small frameless window
on the X11 desktop and records it, with or without sound, into AVI files
named from the date and time, one folder a day under the documents folder.
Long recordings are cut into 30-minute files; the picture is stored as
Motion JPEG, H.264 or uncompressed frames.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Folders, recordings and the help page are opened with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
