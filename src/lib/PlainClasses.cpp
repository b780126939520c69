#include "qxclass/PlainClasses.h"

#include <cstring>

CResStrings::CResStrings() : m_first(0) {}

CResStrings& CResStrings::operator=(const CResStrings& other) {
    m_first = other.m_first;
    return *this;
}

CFileStat::CFileStat() : m_name{} {}

CFileStat& CFileStat::operator=(const CFileStat& other) {
    if (this != &other)
        std::memcpy(m_name, other.m_name, sizeof m_name);
    return *this;
}

#define QXCLASS_PLAIN_CLASS_BODY(Name)         \
    Name::Name() : m_reserved(0) {}            \
    Name& Name::operator=(const Name& other) { \
        m_reserved = other.m_reserved;         \
        return *this;                          \
    }

QXCLASS_PLAIN_CLASS_BODY(CCommandLine)
QXCLASS_PLAIN_CLASS_BODY(CDBRelation)
QXCLASS_PLAIN_CLASS_BODY(CDde)
QXCLASS_PLAIN_CLASS_BODY(CLauncher)
QXCLASS_PLAIN_CLASS_BODY(CModem)
QXCLASS_PLAIN_CLASS_BODY(CProcess)
QXCLASS_PLAIN_CLASS_BODY(CUserProfile)
