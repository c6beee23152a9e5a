// The refusal to run as several execution instances, as each measurement
// deliverable hands it to the host: its three Base64 arguments decode to
// UTF-16LE texts that end in their NUL.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/mex_block.h"
#include "tests/support/deliverables.h"

namespace {

std::string decodeBase64(const std::string& text) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') break;
        const std::size_t value = alphabet.find(c);
        if (value == std::string::npos) return "(not Base64)";
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<char>((buffer >> bits) & 0xff));
        }
    }
    return bytes;
}

// UTF-16LE of an ASCII text followed by a NUL code unit.
std::string utf16WithNul(const std::string& text) {
    std::string out;
    for (char c : text + '\0') {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::vector<std::string> encodedArguments(const std::string& message) {
    std::vector<std::string> args;
    const std::string open = "<arg type=\"encoded\">";
    for (std::size_t at = message.find(open); at != std::string::npos; at = message.find(open, at)) {
        at += open.size();
        args.push_back(message.substr(at, message.find("</arg>", at) - at));
    }
    return args;
}

TEST(MultiExecRefusalTest, ArgumentsDecodeToTheBlockPathAndTheIteratorTags) {
    const struct {
        const char* deliverable;
        const char* model;
    } builds[] = {{"Orvane_10kHz_sf", "Orvane_10kHz"},
                  {"Orvane_14p4kHz_sf", "Orvane_14p4kHz"},
                  {"Orvane_4kHz_sf", "Orvane_4kHz"}};
    for (const auto& b : builds) {
        std::string error;
        auto deliverable = loadDeliverable(b.deliverable, error);
        ASSERT_NE(deliverable, nullptr) << error;
        MexBlock block(deliverable);
        ASSERT_TRUE(block.handOverSizes()) << block.error();
        ASSERT_NE(block.record().multiExecRefusal(), nullptr) << b.deliverable;
        const std::string message = block.record().multiExecRefusal();
        EXPECT_EQ(message.rfind("<diag_root><diag id=\"Simulink:blocks:UserSFcnBlockDoesNotSupportMultiExecInstances\">"
                                "<arguments>",
                                0),
                  0u);
        EXPECT_NE(message.find("</arguments></diag>\n</diag_root>"), std::string::npos);

        const std::vector<std::string> args = encodedArguments(message);
        ASSERT_EQ(args.size(), 3u) << message;
        const std::string model = b.model;
        EXPECT_EQ(decodeBase64(args[0]),
                  utf16WithNul(model + "/" + model +
                               "/Exact_Fs_Sampling_Extendable/Mod1/Double to Int32 (Floor) direct C cast no "
                               "saturation checking/S-Function"))
            << b.deliverable;
        EXPECT_EQ(decodeBase64(args[1]), utf16WithNul("<__iiSS__></__iiSS__>"));
        EXPECT_EQ(decodeBase64(args[2]), utf16WithNul("<__iterBlk__></__iterBlk__>"));
    }
}

}  // namespace
