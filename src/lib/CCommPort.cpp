#include "qxclass/CCommPort.h"

#include <cctype>
#include <cstring>
#include <string>

#include "CommDevice.h"
#include "CommMode.h"

namespace qx::detail {

struct CommPortState {
    std::string path;
    CommLine line;
    CommDevicePtr device = makeCommDevice();
};

}  // namespace qx::detail

CCommPort::CCommPort(const char* name) : m(std::make_unique<qx::detail::CommPortState>()) {
    m->path = qx::detail::commDevicePath(name ? name : "");
}

CCommPort::CCommPort(const char* name, int baud, char parity, int dataBits, int stopBits) : CCommPort(name) {
    SetCommParms(baud, parity, dataBits, stopBits);
}

CCommPort::CCommPort(const char* name, const char* definition) : CCommPort(name) {
    SetCommParms(definition);
}

CCommPort::~CCommPort() {
    Close();
}

int CCommPort::Open(int) {
    Close();
    if (!m->device || !qx::detail::openComm(*m->device, m->path))
        return 0;
    SetCommParms();
    SetTimeOut(500);
    FlushBuffers();
    return 1;
}

int CCommPort::Close() {
    if (!IsOpen())
        return 1;
    return qx::detail::closeComm(*m->device) ? 1 : 0;
}

int CCommPort::IsOpen() const {
    return m->device && qx::detail::isCommOpen(*m->device) ? 1 : 0;
}

int CCommPort::SetCommParms(int baud, char parity, int dataBits, int stopBits) {
    m->line.baud = baud;
    m->line.dataBits = dataBits;
    static const char letters[] = "NOEMS";
    const char* at =
        parity ? std::strchr(letters, std::toupper(static_cast<unsigned char>(parity))) : nullptr;
    if (at)
        m->line.parity = static_cast<int>(at - letters);
    if (stopBits == 1)
        m->line.stopCode = 0;
    else if (stopBits == 2)
        m->line.stopCode = 2;
    return SetCommParms();
}

int CCommPort::SetCommParms(const char* definition) {
    qx::detail::CommMode mode;
    if (!definition || !qx::detail::parseCommMode(definition, mode))
        return 0;
    m->line.baud = mode.baud.value_or(m->line.baud);
    m->line.dataBits = mode.dataBits.value_or(m->line.dataBits);
    m->line.parity = mode.parity.value_or(m->line.parity);
    m->line.stopCode = mode.stopCode.value_or(m->line.stopCode);
    return SetCommParms();
}

int CCommPort::SetCommParms() {
    if (!IsOpen() || m->line.baud == 0)
        return 1;
    if (m->line.dataBits < 5 || m->line.dataBits > 8)
        return 0;
    return qx::detail::applyComm(*m->device, m->line) ? 1 : 0;
}

int CCommPort::SetTimeOut(int t) {
    if (!IsOpen())
        return 0;
    return qx::detail::setCommTimeouts(*m->device, t > 0 ? t * 10 : 0) ? 1 : 0;
}

int CCommPort::FlushBuffers() {
    if (!IsOpen())
        return 0;
    return qx::detail::flushComm(*m->device) ? 1 : 0;
}

int CCommPort::Read(char* buf, int count, int) {
    if (!m->device || !buf || count < 0)
        return -1;
    return qx::detail::readComm(*m->device, buf, count);
}

int CCommPort::Read(unsigned char* buf, int count, int reserved) {
    return Read(reinterpret_cast<char*>(buf), count, reserved);
}

int CCommPort::Write(const char* buf, int count, int) {
    if (!m->device || (!buf && count > 0) || count < 0)
        return -1;
    return qx::detail::writeComm(*m->device, buf, count);
}

int CCommPort::Write(const unsigned char* buf, int count, int reserved) {
    return Write(reinterpret_cast<const char*>(buf), count, reserved);
}

int CCommPort::WriteString(const char* str, int reserved) {
    if (!str)
        return -1;
    return Write(str, static_cast<int>(std::strlen(str)), reserved);
}

const char* CCommPort::DevicePath() const {
    return m->path.c_str();
}

int CCommPort::BaudRate() const {
    return m->line.baud;
}

int CCommPort::DataBits() const {
    return m->line.dataBits;
}

int CCommPort::Parity() const {
    return m->line.parity;
}

int CCommPort::StopBits() const {
    return m->line.stopCode;
}
