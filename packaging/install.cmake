# Install layout: the launcher on the PATH, the real program and its plug-in in lib/quillon.
set(QUILLON_LIB_DIR lib/quillon)
configure_file(${CMAKE_SOURCE_DIR}/packaging/quillon.in ${CMAKE_BINARY_DIR}/packaging/quillon @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/org.quillon.Quillon.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/org.quillon.Quillon.metainfo.xml @ONLY)

install(TARGETS quillon RUNTIME DESTINATION ${QUILLON_LIB_DIR})
install(TARGETS OrvUpdatePlugin LIBRARY DESTINATION ${QUILLON_LIB_DIR}/plugins)
install(TARGETS quillon-devsim RUNTIME DESTINATION bin)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/quillon DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.quillon.Quillon.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/org.quillon.Quillon.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/quillon-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME org.quillon.Quillon.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillon developers <dev@quillon.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Serial-port debugging assistant (Qt 5, Chinese interface)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt5core5a (>= 5.15), libqt5gui5 (>= 5.15), libqt5widgets5 (>= 5.15), libqt5network5 (>= 5.15), libqt5serialport5 (>= 5.15), fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
