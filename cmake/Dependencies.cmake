# Libraries that ship without a CMake package on Debian 12, as imported targets.

find_path(NETSNMP_INCLUDE_DIR net-snmp/net-snmp-config.h)
find_library(NETSNMP_LIBRARY netsnmp)
if(NOT NETSNMP_INCLUDE_DIR OR NOT NETSNMP_LIBRARY)
    message(FATAL_ERROR "net-snmp development files not found (Debian package libsnmp-dev)")
endif()
add_library(NetSnmp::NetSnmp UNKNOWN IMPORTED)
set_target_properties(NetSnmp::NetSnmp PROPERTIES
    IMPORTED_LOCATION "${NETSNMP_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${NETSNMP_INCLUDE_DIR}")

find_package(QuaZip-Qt5 QUIET)
if(NOT TARGET QuaZip::QuaZip)
    message(FATAL_ERROR "QuaZip for Qt 5 not found (Debian package libquazip1-qt5-dev)")
endif()

# Qwt 6.1 for Qt 5 (the live chart): headers in /usr/include/qwt, library libqwt-qt5.
find_path(QWT_INCLUDE_DIR qwt_plot.h PATH_SUFFIXES qwt qwt-qt5)
find_library(QWT_LIBRARY NAMES qwt-qt5 qwt)
if(NOT QWT_INCLUDE_DIR OR NOT QWT_LIBRARY)
    message(FATAL_ERROR "Qwt for Qt 5 not found (Debian package libqwt-qt5-dev)")
endif()
add_library(Qwt::Qwt UNKNOWN IMPORTED)
set_target_properties(Qwt::Qwt PROPERTIES
    IMPORTED_LOCATION "${QWT_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${QWT_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES Qt5::Widgets)
