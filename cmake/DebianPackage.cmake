# The Debian package (cpack -G DEB): the server and capture-client in /usr/bin, the camera
# library as their private library in /usr/lib/capture-server, the udev rule for USB3 Vision
# cameras, the README and docs/. dpkg-shlibdeps turns what the binaries link (Aravis, GLib,
# the C and C++ runtimes) into the package's dependencies.
include(GNUInstallDirs)
set(CAPTURE_PRIVATE_LIBDIR lib/capture-server)
install(TARGETS capture-server capture-client RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Jai_Factory LIBRARY DESTINATION ${CAPTURE_PRIVATE_LIBDIR})
set_target_properties(capture-server PROPERTIES
    INSTALL_RPATH "$ORIGIN/../${CAPTURE_PRIVATE_LIBDIR}")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/60-capture-server-usb3-vision.rules
        DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/capture-server)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/capture-server)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME capture-server)
set(CPACK_PACKAGE_VENDOR "capture-server")
set(CPACK_PACKAGE_CONTACT "capture-server maintainers <maintainers@capture-server.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "local camera capture server for scripts")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A console program that keeps a camera open and saves one fresh frame as a TIFF file\n"
    "each time a program on the same machine asks for it over TCP on 127.0.0.1:55555.\n"
    "It works with a simulated camera and with GigE Vision and USB3 Vision cameras\n"
    "through Aravis; capture-client sends its commands from a shell.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_STRIP_FILES ON)
include(CPack)
