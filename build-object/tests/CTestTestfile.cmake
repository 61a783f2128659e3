# CMake generated Testfile for 
# Source directory: /work/main/tests
# Build directory: /work/main/build-object/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/main/build-object/tests/picture_tests[1]_include.cmake")
include("/work/main/build-object/tests/object_tests[1]_include.cmake")
include("/work/main/build-object/tests/platform_tests[1]_include.cmake")
include("/work/main/build-object/tests/menu_tests[1]_include.cmake")
