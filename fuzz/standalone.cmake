# Used by fuzz/run.sh and fuzz/ci.sh (through CMAKE_PROJECT_INCLUDE) only while the top-level
# CMakeLists.txt does not add this directory itself: reads fuzz/CMakeLists.txt once the top level
# has defined qorcore.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${CMAKE_SOURCE_DIR}/fuzz/CMakeLists.txt)
