#pragma once

#ifdef _WIN32
// qxclass.dll exports what carries this mark; programs that use it import the same from its import
// library. The library's own build defines QXCLASS_BUILDING.
#ifdef QXCLASS_BUILDING
#define QXCLASS_API __declspec(dllexport)
#else
#define QXCLASS_API __declspec(dllimport)
#endif
// A DLL exports nothing it is not told to: private members need no mark.
#define QXCLASS_LOCAL
#else
// The library is built with hidden visibility; only what carries this mark is part of its interface.
#define QXCLASS_API __attribute__((visibility("default")))
// Private members of an exported class: kept out of the library's interface, so that they can change.
#define QXCLASS_LOCAL __attribute__((visibility("hidden")))
#endif
