# The imaging library as the installable package Zvq: shared libraries with a
# version and SONAME (static ones with -DBUILD_SHARED_LIBS=OFF), the headers
# under include/zvq, the zvqgif program, a CMake package configuration and
# pkg-config files. Consumers write
#   find_package(Zvq REQUIRED COMPONENTS Imaging Gif)
#   target_link_libraries(app PRIVATE Zvq::Imaging Zvq::Gif)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZVQ_VERSION 1.0.0)
set(ZVQ_SOVERSION 1)
set(ZVQ_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/zvq)
set(ZVQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zvq)
set(ZVQ_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(ZVQ_INSTALL_QTPLUGINDIR ${CMAKE_INSTALL_LIBDIR}/qt6/plugins CACHE STRING
    "Folder of the Qt image format plugin, relative to the install prefix")
# Forwarding headers that make the unit headers reachable as <Zvqgif.h>.
set(ZVQ_UNIT_HEADER_DIR ${PROJECT_BINARY_DIR}/zvq-units)

# Installed files find each other through paths relative to themselves, so
# that the prefix can be chosen at install time (cmake --install --prefix).
function(zvq_relative_path variable from to)
  file(RELATIVE_PATH path /${from} /${to})
  string(REGEX REPLACE "/$" "" path "${path}")
  if(path STREQUAL "")
    set(path .)
  endif()
  set(${variable} ${path} PARENT_SCOPE)
endfunction()

# zvq_library(<target> <Component> DESCRIPTION <text> [REQUIRES <pc module>...]
#             [REQUIRES_PRIVATE <pc module>...])
# Makes <target> the package's Zvq::<Component>, library file zvq-<component>:
# the folder's headers go to include/zvq/<folder>, its unit headers (Zvq*.h)
# also to include/zvq, and it gets pkg-config file zvq-<component>.pc.
# Modules under REQUIRES_PRIVATE are only needed by a static library's users.
function(zvq_library target component)
  cmake_parse_arguments(ARG "" "DESCRIPTION" "REQUIRES;REQUIRES_PRIVATE" ${ARGN})
  string(TOLOWER ${component} name)
  add_library(Zvq::${component} ALIAS ${target})
  set_target_properties(${target} PROPERTIES
    EXPORT_NAME ${component}
    OUTPUT_NAME zvq-${name}
    VERSION ${ZVQ_VERSION}
    SOVERSION ${ZVQ_SOVERSION}
    INSTALL_RPATH "$ORIGIN"
    # Every symbol is exported; without the <target>_EXPORTS define the
    # shared and static builds compile alike and share the compiler cache.
    DEFINE_SYMBOL "")
  target_compile_features(${target} PUBLIC cxx_std_20)

  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  target_sources(${target} PUBLIC
    FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${headers})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB units RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/Zvq*.h)
  set(forwarding)
  foreach(unit ${units})
    file(CONFIGURE OUTPUT ${ZVQ_UNIT_HEADER_DIR}/${unit} @ONLY
         CONTENT "#pragma once\n\n// The same header as \"${folder}/${unit}\".\n#include \"${folder}/${unit}\"\n")
    list(APPEND forwarding ${ZVQ_UNIT_HEADER_DIR}/${unit})
  endforeach()
  if(forwarding)
    target_sources(${target} PUBLIC
      FILE_SET units TYPE HEADERS BASE_DIRS ${ZVQ_UNIT_HEADER_DIR} FILES ${forwarding})
    set(unit_headers FILE_SET units DESTINATION ${ZVQ_INSTALL_INCLUDEDIR} COMPONENT Zvq_Development)
  endif()

  install(TARGETS ${target} EXPORT ZvqTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Zvq_Runtime
            NAMELINK_COMPONENT Zvq_Development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Zvq_Development
    FILE_SET HEADERS DESTINATION ${ZVQ_INSTALL_INCLUDEDIR} COMPONENT Zvq_Development
    ${unit_headers})

  # A static library's private dependencies are its users' too.
  set(requires ${ARG_REQUIRES})
  set(requires_private ${ARG_REQUIRES_PRIVATE})
  if(NOT BUILD_SHARED_LIBS)
    list(APPEND requires ${requires_private})
    set(requires_private)
  endif()
  list(JOIN requires " " ZVQ_PC_REQUIRES)
  list(JOIN requires_private " " ZVQ_PC_REQUIRES_PRIVATE)
  set(ZVQ_PC_NAME zvq-${name})
  set(ZVQ_PC_DESCRIPTION ${ARG_DESCRIPTION})
  zvq_relative_path(ZVQ_PC_PREFIX ${ZVQ_INSTALL_PKGCONFIGDIR} "")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/zvq.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/zvq-${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/zvq-${name}.pc
          DESTINATION ${ZVQ_INSTALL_PKGCONFIGDIR} COMPONENT Zvq_Development)
endfunction()

# zvq_install_program(<target> [COMPONENT <component>])
# A program installed to bin/ (with the library's runtime unless another
# component is named), finding the shared libraries from there.
function(zvq_install_program target)
  cmake_parse_arguments(ARG "" "COMPONENT" "" ${ARGN})
  if(NOT ARG_COMPONENT)
    set(ARG_COMPONENT Zvq_Runtime)
  endif()
  if(BUILD_SHARED_LIBS)
    zvq_relative_path(libdir ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_LIBDIR})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${libdir}")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${ARG_COMPONENT})
endfunction()

# The Qt image format plugin (plugins/imageformats) goes to Qt's plugin
# layout under ZVQ_INSTALL_QTPLUGINDIR; Qt loads it at run time, so it is not
# one of the exported targets.
function(zvq_install_image_format_plugin target)
  set(destination ${ZVQ_INSTALL_QTPLUGINDIR}/imageformats)
  zvq_relative_path(libdir ${destination} ${CMAKE_INSTALL_LIBDIR})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${libdir}")
  install(TARGETS ${target} LIBRARY DESTINATION ${destination} COMPONENT Zvq_Runtime)
endfunction()

# The package configuration; call once every library is declared.
function(zvq_install_package)
  install(EXPORT ZvqTargets NAMESPACE Zvq:: DESTINATION ${ZVQ_INSTALL_CMAKEDIR}
          COMPONENT Zvq_Development)
  set(ZVQ_STATIC_LIBRARIES OFF)
  if(NOT BUILD_SHARED_LIBS)
    set(ZVQ_STATIC_LIBRARIES ON)
  endif()
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZvqConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZvqConfig.cmake INSTALL_DESTINATION ${ZVQ_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZvqConfigVersion.cmake
    VERSION ${ZVQ_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/ZvqConfig.cmake ${PROJECT_BINARY_DIR}/ZvqConfigVersion.cmake
          DESTINATION ${ZVQ_INSTALL_CMAKEDIR} COMPONENT Zvq_Development)
endfunction()
