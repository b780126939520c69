#pragma once

#include "qxclass/Export.h"

// Classes the library exports for the installation's other programs that carry no behaviour of their
// own in this system beyond construction and copy assignment. Copy assignment copies the whole object.

// A table of resource strings; only its first word (0 after construction) is kept here.
class QXCLASS_API CResStrings {
public:
    CResStrings();
    CResStrings& operator=(const CResStrings& other);

private:
    unsigned m_first;
};

// The state of a file as seen by a file search; its name is the text at the start of the object.
class QXCLASS_API CFileStat {
public:
    CFileStat();
    CFileStat& operator=(const CFileStat& other);

    // The file name, NUL-terminated ("" after construction).
    const char* Filename() const { return m_name; }

private:
    char m_name[260];
};

#define QXCLASS_PLAIN_CLASS(Name)             \
    class QXCLASS_API Name {                  \
    public:                                   \
        Name();                               \
        Name& operator=(const Name& other);   \
                                              \
    private:                                  \
        [[maybe_unused]] unsigned m_reserved; \
    }

QXCLASS_PLAIN_CLASS(CCommandLine);
QXCLASS_PLAIN_CLASS(CDBRelation);
QXCLASS_PLAIN_CLASS(CDde);
QXCLASS_PLAIN_CLASS(CLauncher);
QXCLASS_PLAIN_CLASS(CModem);
QXCLASS_PLAIN_CLASS(CProcess);
QXCLASS_PLAIN_CLASS(CUserProfile);

#undef QXCLASS_PLAIN_CLASS
