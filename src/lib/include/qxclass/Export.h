#pragma once

// The library is built with hidden visibility; only what carries this mark is part of its interface.
#define QXCLASS_API __attribute__((visibility("default")))
