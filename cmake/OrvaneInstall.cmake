# `cmake --install`: the shared library, the public headers (include/orvane/ and the
# generated version.hpp, nothing internal), a CMake package, a pkg-config file and the
# sandbox server (tools/sandbox installs orvane-sandbox itself).
if(NOT ORVANE_BUILD_QT)
  return()
endif()
include(CMakePackageConfigHelpers)

install(TARGETS orvane EXPORT OrvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# orvane.h is the C library's; capi/ installs it with liborvane_c.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/orvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  PATTERN orvane.h EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/public/orvane/version.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvane)
install(EXPORT OrvaneTargets NAMESPACE Orvane:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OrvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OrvaneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/OrvaneConfig.cmake ${PROJECT_BINARY_DIR}/OrvaneConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)

# The prefix is found from the .pc file's own place, so the tree works wherever it is
# installed or moved (the prefix given at install time may differ from the configured one).
file(RELATIVE_PATH ORVANE_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" ORVANE_PC_TO_PREFIX "${ORVANE_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/orvane.pc.in ${PROJECT_BINARY_DIR}/orvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
