#pragma once

// The library is built with hidden visibility; only what carries this mark is part of its interface.
#define QXCLASS_API __attribute__((visibility("default")))
// Private members of an exported class: kept out of the library's interface, so that they can change.
#define QXCLASS_LOCAL __attribute__((visibility("hidden")))
