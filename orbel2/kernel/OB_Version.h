// The engine's version. The project's CMakeLists.txt reads it from here, so
// the program, the package and code built on the engine all agree.
#pragma once

#define OB_VERSION_MAJOR 2
#define OB_VERSION_MINOR 0
#define OB_VERSION_PATCH 0

#define OB_VERSION_TEXT_(Number) #Number
#define OB_VERSION_TEXT(Number) OB_VERSION_TEXT_(Number)
// "2.0.0"
#define OB_VERSION_STRING                                                                                         \
    OB_VERSION_TEXT(OB_VERSION_MAJOR) "." OB_VERSION_TEXT(OB_VERSION_MINOR) "." OB_VERSION_TEXT(OB_VERSION_PATCH)
