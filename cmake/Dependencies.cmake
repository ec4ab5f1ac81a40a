# Third-party code, compiled from the Debian source packages that scripts/setup unpacks.
set(PUGIXML_DIR "${VELSETUP_DEPS_DIR}/pugixml")
set(ZLIB_SRC_DIR "${VELSETUP_DEPS_DIR}/zlib")
if(NOT EXISTS "${PUGIXML_DIR}/src/pugixml.cpp" OR NOT EXISTS "${ZLIB_SRC_DIR}/contrib/minizip/unzip.c")
  message(FATAL_ERROR "Dependency sources missing in ${VELSETUP_DEPS_DIR}: run scripts/setup")
endif()

add_library(pugixml STATIC "${PUGIXML_DIR}/src/pugixml.cpp")
target_include_directories(pugixml SYSTEM PUBLIC "${PUGIXML_DIR}/src")
# Only the DOM is used: without the stream interfaces and XPath the programs carry none of the
# C++ library's stream and locale machinery.
target_compile_definitions(pugixml PUBLIC PUGIXML_NO_STL PUGIXML_NO_XPATH PUGIXML_NO_EXCEPTIONS)
set_target_properties(pugixml PROPERTIES POSITION_INDEPENDENT_CODE ON)

# minizip's reader and writer, from the zlib source; zlib itself from the system (mingw: the
# static library of libz-mingw-w64-dev).
set(MINIZIP_DIR "${ZLIB_SRC_DIR}/contrib/minizip")
add_library(minizip STATIC "${MINIZIP_DIR}/unzip.c" "${MINIZIP_DIR}/zip.c" "${MINIZIP_DIR}/ioapi.c")
target_include_directories(minizip SYSTEM PUBLIC "${MINIZIP_DIR}")
target_compile_options(minizip PRIVATE -w)
if(WIN32)
  find_library(ZLIB_STATIC NAMES libz.a REQUIRED)
  target_sources(minizip PRIVATE "${MINIZIP_DIR}/iowin32.c")
  target_link_libraries(minizip PUBLIC "${ZLIB_STATIC}")
else()
  find_package(ZLIB REQUIRED)
  target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
endif()

if(NOT VELSETUP_FUZZ)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
