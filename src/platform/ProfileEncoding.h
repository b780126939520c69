#pragma once

#include <string>
#include <string_view>

namespace qx {

// How a profile file stores its text. Parsing and editing work on 8-bit text: files without a
// byte-order mark are taken byte for byte (no code page is assumed), a UTF-16LE file is converted to
// UTF-8 and back. The conversion is lossless for any sequence of code units, so that lines a write does
// not touch keep their bytes even when they hold unpaired surrogates.
enum class ProfileEncoding { Bytes, Utf8Bom, Utf16Le };

struct ProfileContent {
    ProfileEncoding encoding = ProfileEncoding::Bytes;
    std::string text;     // without the byte-order mark; UTF-8 for a UTF-16LE file
    std::string trailer;  // an odd last byte of a UTF-16LE file, written back as found
};

ProfileContent decodeProfile(std::string bytes);

// The file bytes of `content`. Text to be written into a UTF-16LE file that is not valid UTF-8 (a
// caller's 8-bit value) is taken as Latin-1 byte by byte rather than dropped.
std::string encodeProfile(const ProfileContent& content);

}  // namespace qx
