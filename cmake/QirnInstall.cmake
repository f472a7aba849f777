# Installs the kernel with a CMake package: find_package(qirn) gives
# qirn::kernel, with the same include root as in the source tree.
include(CMakePackageConfigHelpers)

install(TARGETS qirn EXPORT qirnTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

file(GLOB_RECURSE _qirn_headers RELATIVE ${PROJECT_SOURCE_DIR}/kernel
  CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/kernel/*.h)
foreach(h IN LISTS _qirn_headers)
  if(h MATCHES "(^|/)tests/" OR h MATCHES "^testing/")
    continue()
  endif()
  # The POSIX file layer is the platform classes' own, called from their
  # sources only.
  if(h MATCHES "^files/platform/PosixFileOps")
    continue()
  endif()
  # The ASCII ranks of collation, read from ICU's collators: the string
  # comparer's own.
  if(h STREQUAL "core/platform/XLinuxASCIIOrder.h")
    continue()
  endif()
  # The XML parser's bridge to Xerces, which callers never link to.
  if(h STREQUAL "bags_xml/SAX_Handlers.h")
    continue()
  endif()
  get_filename_component(_dir ${h} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/kernel/${h}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qirn/${_dir})
endforeach()

install(EXPORT qirnTargets NAMESPACE qirn::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qirn)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qirnConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qirnConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qirn)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qirnConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qirnConfig.cmake
  ${PROJECT_BINARY_DIR}/qirnConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/qirn)
