// The diagnostic with which a measurement block refuses to run as several
// execution instances. Its three arguments travel as standard Base64 of
// UTF-16LE texts including their terminating NUL; the first is the path of
// the model's inner cast block, built here from the build's model name at
// compile time.
#ifndef ORVANE_SFUNCTION_MULTI_EXEC_REFUSAL_H
#define ORVANE_SFUNCTION_MULTI_EXEC_REFUSAL_H

#include <array>
#include <cstddef>

namespace refusal {

constexpr std::size_t textLength(const char* s) {
    std::size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

// Base64 length of a text of n ASCII characters as UTF-16LE with its NUL.
constexpr std::size_t encodedLength(std::size_t n) { return 4 * ((2 * (n + 1) + 2) / 3); }

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Appends the encoding of the UTF-16LE bytes of `parts` (joined, then a NUL)
// at out[pos]; returns the new position.
template <std::size_t M>
constexpr std::size_t appendEncoded(std::array<char, M>& out, std::size_t pos, const char* const* parts,
                                    std::size_t partCount) {
    std::size_t total = 0;
    for (std::size_t p = 0; p < partCount; ++p) total += textLength(parts[p]);
    const std::size_t byteCount = 2 * (total + 1);
    auto byteAt = [&](std::size_t i) -> unsigned {
        if (i % 2 == 1) return 0;  // high byte of an ASCII code unit
        std::size_t c = i / 2;
        for (std::size_t p = 0; p < partCount; ++p) {
            const std::size_t len = textLength(parts[p]);
            if (c < len) return static_cast<unsigned char>(parts[p][c]);
            c -= len;
        }
        return 0;  // the terminating NUL
    };
    for (std::size_t i = 0; i < byteCount; i += 3) {
        const std::size_t left = byteCount - i;
        const unsigned b0 = byteAt(i);
        const unsigned b1 = left > 1 ? byteAt(i + 1) : 0;
        const unsigned b2 = left > 2 ? byteAt(i + 2) : 0;
        const unsigned triple = (b0 << 16) | (b1 << 8) | b2;
        out[pos++] = kBase64Alphabet[(triple >> 18) & 63];
        out[pos++] = kBase64Alphabet[(triple >> 12) & 63];
        out[pos++] = left > 1 ? kBase64Alphabet[(triple >> 6) & 63] : '=';
        out[pos++] = left > 2 ? kBase64Alphabet[triple & 63] : '=';
    }
    return pos;
}

template <std::size_t M>
constexpr std::size_t appendText(std::array<char, M>& out, std::size_t pos, const char* text) {
    for (std::size_t i = 0; text[i] != '\0'; ++i) out[pos++] = text[i];
    return pos;
}

inline constexpr const char* kHead =
    "<diag_root><diag id=\"Simulink:blocks:UserSFcnBlockDoesNotSupportMultiExecInstances\"><arguments>";
inline constexpr const char* kArgOpen = "<arg type=\"encoded\">";
inline constexpr const char* kArgClose = "</arg>";
inline constexpr const char* kTail = "</arguments></diag>\n</diag_root>";
inline constexpr const char* kCastBlockPath =
    "Exact_Fs_Sampling_Extendable/Mod1/Double to Int32 (Floor) direct C cast no saturation checking/S-Function";
inline constexpr const char* kIterSubsystem = "<__iiSS__></__iiSS__>";
inline constexpr const char* kIterBlock = "<__iterBlk__></__iterBlk__>";

constexpr std::size_t messageLength(const char* modelName) {
    const std::size_t pathLength = 2 * textLength(modelName) + 2 + textLength(kCastBlockPath);
    return textLength(kHead) + 3 * (textLength(kArgOpen) + textLength(kArgClose)) + encodedLength(pathLength) +
           encodedLength(textLength(kIterSubsystem)) + encodedLength(textLength(kIterBlock)) + textLength(kTail);
}

// The whole message with its terminating NUL.
template <std::size_t M>
constexpr std::array<char, M> buildMessage(const char* modelName) {
    std::array<char, M> out{};
    std::size_t pos = appendText(out, 0, kHead);
    const char* path[] = {modelName, "/", modelName, "/", kCastBlockPath};
    pos = appendText(out, pos, kArgOpen);
    pos = appendEncoded(out, pos, path, 5);
    pos = appendText(out, pos, kArgClose);
    const char* iterSubsystem[] = {kIterSubsystem};
    pos = appendText(out, pos, kArgOpen);
    pos = appendEncoded(out, pos, iterSubsystem, 1);
    pos = appendText(out, pos, kArgClose);
    const char* iterBlock[] = {kIterBlock};
    pos = appendText(out, pos, kArgOpen);
    pos = appendEncoded(out, pos, iterBlock, 1);
    pos = appendText(out, pos, kArgClose);
    pos = appendText(out, pos, kTail);
    out[pos] = '\0';
    return out;
}

}  // namespace refusal

#endif  // ORVANE_SFUNCTION_MULTI_EXEC_REFUSAL_H
