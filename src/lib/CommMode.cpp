#include "CommMode.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace qx::detail {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool allDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool parseBaud(const std::string& text, CommMode& mode) {
    if (!allDigits(text) || text.size() > 7)
        return false;
    int value = std::atoi(text.c_str());
    switch (value) {
        case 11:
            value = 110;
            break;
        case 15:
            value = 150;
            break;
        case 30:
            value = 300;
            break;
        case 60:
            value = 600;
            break;
        case 12:
            value = 1200;
            break;
        case 24:
            value = 2400;
            break;
        case 48:
            value = 4800;
            break;
        case 96:
            value = 9600;
            break;
        case 19:
            value = 19200;
            break;
        default:
            break;
    }
    if (value <= 0)
        return false;
    mode.baud = value;
    return true;
}

bool parseParity(const std::string& text, CommMode& mode) {
    static const std::string letters = "noems";
    static const int codes[] = {0, 1, 2, 3, 4};
    std::size_t at = text.size() == 1 ? letters.find(text[0]) : std::string::npos;
    if (at == std::string::npos)
        return false;
    mode.parity = codes[at];
    return true;
}

bool parseData(const std::string& text, CommMode& mode) {
    if (text.size() != 1 || text[0] < '5' || text[0] > '8')
        return false;
    mode.dataBits = text[0] - '0';
    return true;
}

bool parseStop(const std::string& text, CommMode& mode) {
    if (text == "1")
        mode.stopCode = 0;
    else if (text == "1.5")
        mode.stopCode = 1;
    else if (text == "2")
        mode.stopCode = 2;
    else
        return false;
    return true;
}

bool isOnOff(const std::string& text) {
    return text == "on" || text == "off";
}

bool parseKeywords(const std::string& text, CommMode& mode) {
    std::istringstream words(text);
    std::string word;
    bool any = false;
    while (words >> word) {
        std::size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0)
            return false;
        std::string key = word.substr(0, eq), value = word.substr(eq + 1);
        bool ok = false;
        if (key == "baud")
            ok = parseBaud(value, mode);
        else if (key == "parity")
            ok = parseParity(value, mode);
        else if (key == "data")
            ok = parseData(value, mode);
        else if (key == "stop")
            ok = parseStop(value, mode);
        else if (key == "to" || key == "xon" || key == "odsr" || key == "octs" || key == "idsr")
            ok = isOnOff(value);
        else if (key == "dtr")
            ok = isOnOff(value) || value == "hs";
        else if (key == "rts")
            ok = isOnOff(value) || value == "hs" || value == "tg";
        if (!ok)
            return false;
        any = true;
    }
    return any;
}

bool parsePositional(const std::string& text, CommMode& mode) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream parts(text);
    while (std::getline(parts, field, ','))
        fields.push_back(field);
    if (!text.empty() && text.back() == ',')
        fields.emplace_back();
    if (fields.empty() || fields.size() > 5 || fields[0].empty())
        return false;
    for (std::string& f : fields) {
        std::size_t first = f.find_first_not_of(' ');
        f = first == std::string::npos ? "" : f.substr(first, f.find_last_not_of(' ') - first + 1);
    }
    if (!parseBaud(fields[0], mode))
        return false;
    if (fields.size() > 1 && !fields[1].empty() && !parseParity(fields[1], mode))
        return false;
    if (fields.size() > 2 && !fields[2].empty() && !parseData(fields[2], mode))
        return false;
    if (fields.size() > 3 && !fields[3].empty() && !parseStop(fields[3], mode))
        return false;
    if (fields.size() > 4 && !fields[4].empty() && fields[4] != "x" && fields[4] != "p")
        return false;
    return true;
}

// Removes a leading "COMn:" device name.
std::string withoutDevice(const std::string& text) {
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos || text.compare(start, 3, "com") != 0)
        return text;
    std::size_t colon = text.find(':', start);
    if (colon == std::string::npos || !allDigits(text.substr(start + 3, colon - start - 3)))
        return text;
    return text.substr(colon + 1);
}

}  // namespace

bool parseCommMode(const std::string& text, CommMode& out) {
    std::string body = withoutDevice(lower(text));
    std::size_t first = body.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    body = body.substr(first, body.find_last_not_of(' ') - first + 1);
    CommMode mode = out;
    bool ok = body.find('=') != std::string::npos ? parseKeywords(body, mode) : parsePositional(body, mode);
    if (ok)
        out = mode;
    return ok;
}

std::string bareDeviceName(const std::string& name) {
    std::string device = name;
    if (device.rfind("\\\\.\\", 0) == 0 || device.rfind("\\\\?\\", 0) == 0)
        device = device.substr(4);
    if (!device.empty() && device.back() == ':')
        device.pop_back();
    return device;
}

int comPortNumber(const std::string& device) {
    std::string low = lower(device);
    if (low.size() > 3 && low.compare(0, 3, "com") == 0 && allDigits(low.substr(3)))
        return std::max(0, std::atoi(low.c_str() + 3));
    return 0;
}

}  // namespace qx::detail
