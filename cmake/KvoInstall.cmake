# cmake --install: the header, the shared library (with SONAME), the static library, a CMake
# package (find_package(kvom6) gives kvom6::kvom6 and kvom6::kvom6_static) and kvom6.pc.
include(CMakePackageConfigHelpers)

set(KVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kvom6)
install(FILES ${PROJECT_SOURCE_DIR}/include/kvo.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kvom6 kvo_static EXPORT kvom6Targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET kvo-info)
  install(TARGETS kvo-info RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(EXPORT kvom6Targets NAMESPACE kvom6:: FILE kvom6Targets.cmake DESTINATION ${KVO_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/package/kvom6Config.cmake.in
                              ${PROJECT_BINARY_DIR}/kvom6Config.cmake
                              INSTALL_DESTINATION ${KVO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kvom6ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kvom6Config.cmake ${PROJECT_BINARY_DIR}/kvom6ConfigVersion.cmake
        DESTINATION ${KVO_CMAKE_DIR})

# pkg-config: `pkg-config --libs kvom6` for the shared library, `--static` adds what the static one
# needs. Paths relative to the .pc file's prefix so that a relocated install keeps working.
file(RELATIVE_PATH KVO_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/kvom6.pc.in ${PROJECT_BINARY_DIR}/kvom6.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kvom6.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
