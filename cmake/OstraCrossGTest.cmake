# SPDX-License-Identifier: GPL-3.0-or-later
# GoogleTest for a cross build, compiled from the source tree that Debian's
# googletest package ships, with the cross compiler: no prebuilt library of
# the host fits the target, and nothing is downloaded. Gives the same
# GTest::gtest, GTest::gtest_main and GTest::gmock targets as find_package.
set(OSTRA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree for cross builds")
if(NOT EXISTS ${OSTRA_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest source in ${OSTRA_GTEST_SOURCE}: install Debian's googletest package")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${OSTRA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
