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
