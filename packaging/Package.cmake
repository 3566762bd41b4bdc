# Debian package of both programs: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME "depthwright")
set(CPACK_PACKAGE_VENDOR "Depthwright developers")
set(CPACK_PACKAGE_CONTACT "Depthwright developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Depth charts of your own lake from sonar soundings")
set(CPACK_PACKAGE_DESCRIPTION
  "Depthwright 2D turns the depth soundings a sonar/chart unit recorded (GPX or the unit's\
 HT track files) and the outline of the shore and islands (KML, GPX or shapefiles) into a\
 coloured depth chart with contour lines, and writes the contours back as HT files for the\
 unit's SD card or as GPX. depthwright-batch does the same work from the command line.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "depthwright")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Depthwright developers")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries the programs link come from dpkg-shlibdeps; Qt's platform plugins
# (xcb, offscreen) are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")

include(CPack)
