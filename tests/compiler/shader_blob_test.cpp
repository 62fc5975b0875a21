// The code blob format: what EncodeShaderBlob writes DecodeShaderBlob reads back, and bytes that
// are not such a blob are refused without reading outside them.
#include "compiler_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

platform::ShaderInfo Sample() {
    platform::ShaderInfo info;
    info.stage = platform::ShaderStage::Vertex;
    info.entryPoint = "vs_main";
    info.inputs = {{"POSITION", 0, 0}, {"TEXCOORD", 3, 1}};
    // An output of two locations of two components, whose Location number is word 3.
    info.outputs = {{"COLOR", 2, 9, 2, 2, 3}};
    info.usedRegisters[0] = 0x1;
    info.usedRegisters[1] = 0x82;
    info.threadGroupSize[0] = 32;
    // b9's binding number is word 3.
    info.resources = {
        {platform::RegisterClass::ConstantBuffer, 9, platform::DescriptorKind::UniformBuffer, 3}};
    info.spirv = {0x07230203, 0x00010300, 0, 9, 0};
    return info;
}

TEST(ShaderBlob, DecodeReadsBackWhatEncodeWrote) {
    platform::ShaderInfo in = Sample();
    std::vector<uint8_t> bytes = platform::EncodeShaderBlob(in);
    platform::ShaderInfo out;
    ASSERT_TRUE(platform::DecodeShaderBlob(bytes.data(), bytes.size(), &out));
    EXPECT_EQ(out.stage, in.stage);
    EXPECT_EQ(out.entryPoint, in.entryPoint);
    ASSERT_EQ(out.inputs.size(), in.inputs.size());
    for (size_t i = 0; i < in.inputs.size(); ++i) {
        EXPECT_EQ(out.inputs[i].semantic, in.inputs[i].semantic);
        EXPECT_EQ(out.inputs[i].semanticIndex, in.inputs[i].semanticIndex);
        EXPECT_EQ(out.inputs[i].location, in.inputs[i].location);
    }
    ASSERT_EQ(out.outputs.size(), 1u);
    EXPECT_EQ(out.outputs[0].semantic, "COLOR");
    EXPECT_EQ(out.outputs[0].semanticIndex, 2u);
    EXPECT_EQ(out.outputs[0].location, 9u);
    EXPECT_EQ(out.outputs[0].locations, 2u);
    EXPECT_EQ(out.outputs[0].components, 2u);
    EXPECT_EQ(out.outputs[0].locationWord, 3u);
    EXPECT_EQ(0, std::memcmp(out.usedRegisters, in.usedRegisters, sizeof in.usedRegisters));
    EXPECT_EQ(0, std::memcmp(out.threadGroupSize, in.threadGroupSize, sizeof in.threadGroupSize));
    ASSERT_EQ(out.resources.size(), 1u);
    EXPECT_EQ(out.resources[0].reg, 9u);
    EXPECT_EQ(out.resources[0].kind, platform::DescriptorKind::UniformBuffer);
    EXPECT_EQ(out.resources[0].bindingWord, 3u);
    EXPECT_EQ(out.spirv, in.spirv);
}

// Run under AddressSanitizer, a read past any of these buffers fails the test.
TEST(ShaderBlob, BytesThatAreNotABlobAreRefused) {
    std::vector<uint8_t> good = platform::EncodeShaderBlob(Sample());
    platform::ShaderInfo out;
    EXPECT_FALSE(platform::DecodeShaderBlob(nullptr, 0, &out));
    for (size_t size = 0; size < good.size(); ++size) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + size);
        EXPECT_FALSE(platform::DecodeShaderBlob(cut.data(), cut.size(), &out))
            << "cut to " << size << " bytes";
    }
    platform::ShaderInfo moved = Sample();
    moved.outputs[0].location = 8;
    const std::vector<uint8_t> elsewhere = platform::EncodeShaderBlob(moved);
    EXPECT_FALSE(platform::DecodeShaderBlob(elsewhere.data(), elsewhere.size(), &out))
        << "a location word that does not hold the location";
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(platform::DecodeShaderBlob(longer.data(), longer.size(), &out)) << "a byte too many";

    // Every length field and count, set to values that point past the end: refused, or, where the
    // word was not a length, read as a blob whose every part passes the checks a blob is read with.
    for (size_t at = 0; at + 4 <= good.size(); at += 4) {
        for (uint32_t value : {0xffffffffu, 0x7fffffffu, 0x10000u, 3u}) {
            std::vector<uint8_t> bad = good;
            std::memcpy(bad.data() + at, &value, 4);
            platform::ShaderInfo decoded, again;
            if (!platform::DecodeShaderBlob(bad.data(), bad.size(), &decoded))
                continue;
            const std::vector<uint8_t> encoded = platform::EncodeShaderBlob(decoded);
            EXPECT_TRUE(platform::DecodeShaderBlob(encoded.data(), encoded.size(), &again))
                << value << " at byte " << at;
            EXPECT_EQ(encoded, bad) << value << " at byte " << at << " was read as something else";
            for (uint32_t cls = 0; cls < platform::kRegisterClassCount; ++cls)
                EXPECT_TRUE((decoded.usedRegisters[cls] >> platform::kRegisterCount[cls]).none())
                    << value << " at byte " << at << " named a register past class " << cls << "'s table";
        }
    }
    std::mt19937 random(1234);
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> noise(random() % 256);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(random());
        EXPECT_FALSE(platform::DecodeShaderBlob(noise.data(), noise.size(), &out));
    }
}

} // namespace
