cmake_minimum_required(VERSION 3.25)
project(consumer CXX)
find_package(Tarnfold REQUIRED)
if(WIN32)
  # The user's prefix must not open the build machine's own packages to the Windows build:
  # this one lies outside the sysroot and the given prefix.
  find_package(FastFloat CONFIG QUIET)
  if(FastFloat_FOUND)
    message(FATAL_ERROR "a package of the build machine was found: ${FastFloat_DIR}")
  endif()
endif()
add_executable(hello main.cpp)
target_link_libraries(hello PRIVATE Tarnfold::tarnfold)
# The checked runtime (Linux): the same program against it, for a program's own tests.
if(TARGET Tarnfold::tarnfold_checked)
  add_executable(hello_checked main.cpp)
  target_link_libraries(hello_checked PRIVATE Tarnfold::tarnfold_checked)
endif()
