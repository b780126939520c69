#include "ProfileEncoding.h"

#include <cstdint>

namespace qx {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

void appendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        // Unpaired surrogates land here too (as in WTF-8), which keeps the round trip lossless.
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

void appendUtf16Le(std::string& out, std::uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

std::string utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            std::uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, unit);
    }
    return out;
}

// Length of the well-formed sequence at `i` (surrogates allowed), 0 when the byte starts none.
std::size_t sequenceAt(std::string_view text, std::size_t i, std::uint32_t& codePoint) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t length;
    std::uint32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF)
        return 0;
    return length;
}

std::string utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t codePoint = 0;
        std::size_t length = sequenceAt(text, i, codePoint);
        if (length == 0) {
            codePoint = static_cast<unsigned char>(text[i]);
            length = 1;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            appendUtf16Le(out, 0xD800 + (codePoint >> 10));
            appendUtf16Le(out, 0xDC00 + (codePoint & 0x3FF));
        } else {
            appendUtf16Le(out, codePoint);
        }
        i += length;
    }
    return out;
}

}  // namespace

ProfileContent decodeProfile(std::string bytes) {
    ProfileContent content;
    std::string_view view = bytes;
    if (view.starts_with(kUtf16LeBom)) {
        content.encoding = ProfileEncoding::Utf16Le;
        view.remove_prefix(kUtf16LeBom.size());
        if (view.size() % 2 != 0)
            content.trailer = std::string(view.substr(view.size() - 1));
        content.text = utf16LeToUtf8(view);
    } else if (view.starts_with(kUtf8Bom)) {
        content.encoding = ProfileEncoding::Utf8Bom;
        content.text = bytes.substr(kUtf8Bom.size());
    } else {
        content.text = std::move(bytes);
    }
    return content;
}

std::string encodeProfile(const ProfileContent& content) {
    switch (content.encoding) {
        case ProfileEncoding::Utf16Le:
            return std::string(kUtf16LeBom) + utf8ToUtf16Le(content.text) + content.trailer;
        case ProfileEncoding::Utf8Bom:
            return std::string(kUtf8Bom) + content.text;
        case ProfileEncoding::Bytes:
            break;
    }
    return content.text;
}

}  // namespace qx
