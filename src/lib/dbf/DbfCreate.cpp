#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "DbfIo.h"
#include "DbfTable.h"

namespace qx::dbf {
namespace {

constexpr unsigned char kDbase3 = 0x03;
constexpr std::uint32_t kMaxRecordLength = 65535;

bool validName(std::string_view name) {
    if (name.empty() || name.size() > 10)
        return false;
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!letter(name[0]))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_')
            return false;
    return true;
}

// The field as it will be stored, or false when the description cannot be stored faithfully.
bool normalise(const FieldDescription& field, char& type, std::uint32_t& length, std::uint8_t& decimals) {
    type = field.type >= 'a' && field.type <= 'z' ? char(field.type - 'a' + 'A') : field.type;
    length = field.length;
    decimals = field.decimals;
    switch (type) {
        case 'C':
            return length >= 1 && length <= 254 && decimals == 0;
        case 'N':
        case 'F':
            return length >= 1 && length <= 20 && (decimals == 0 || decimals + 2u <= length);
        case 'D':
            length = 8;
            decimals = 0;
            return true;
        case 'L':
            length = 1;
            decimals = 0;
            return true;
        default:
            // Memo fields would need a memo file, which we never write.
            return false;
    }
}

}  // namespace

std::unique_ptr<Table> Table::create(const std::filesystem::path& file,
                                     std::span<const FieldDescription> fields, const TableOptions& options) {
    if (fields.empty() || fields.size() > (65535 - kMainHeaderSize - 1) / kDescriptorSize)
        return nullptr;
    std::uint32_t headerLength = std::uint32_t(kMainHeaderSize + fields.size() * kDescriptorSize + 1);
    std::vector<unsigned char> bytes(headerLength + 1, 0);
    std::uint32_t recordLength = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDescription& field = fields[i];
        char type;
        std::uint32_t length;
        std::uint8_t decimals;
        if (!validName(field.name) || !normalise(field, type, length, decimals))
            return nullptr;
        for (std::size_t j = 0; j < i; ++j)
            if (sameFieldName(fields[j].name, field.name))
                return nullptr;
        unsigned char* d = bytes.data() + kMainHeaderSize + i * kDescriptorSize;
        for (std::size_t k = 0; k < field.name.size(); ++k)
            d[k] = static_cast<unsigned char>(
                field.name[k] >= 'a' && field.name[k] <= 'z' ? field.name[k] - 'a' + 'A' : field.name[k]);
        d[11] = static_cast<unsigned char>(type);
        d[16] = static_cast<unsigned char>(length);
        d[17] = decimals;
        recordLength += length;
        if (recordLength > kMaxRecordLength)
            return nullptr;
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    bytes[kVersionAt] = kDbase3;
    bytes[kUpdateDateAt] = static_cast<unsigned char>(local.tm_year);
    bytes[kUpdateDateAt + 1] = static_cast<unsigned char>(local.tm_mon + 1);
    bytes[kUpdateDateAt + 2] = static_cast<unsigned char>(local.tm_mday);
    bytes[kHeaderLengthAt] = static_cast<unsigned char>(headerLength & 0xFF);
    bytes[kHeaderLengthAt + 1] = static_cast<unsigned char>(headerLength >> 8);
    bytes[kRecordLengthAt] = static_cast<unsigned char>(recordLength & 0xFF);
    bytes[kRecordLengthAt + 1] = static_cast<unsigned char>(recordLength >> 8);
    bytes[headerLength - 1] = kDescriptorEnd;
    bytes[headerLength] = kEndOfData;

    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    bool written = io::writeAt(fd, bytes.data(), bytes.size(), 0);
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(file.c_str());
        return nullptr;
    }
    return open(file, options);
}

}  // namespace qx::dbf
