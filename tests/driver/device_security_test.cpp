// The device's descriptor, read back field by field as the kernel reads a
// self-relative descriptor: a DACL and nothing else, granting all file
// access to LocalSystem and to the Administrators group only.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "device_security.h"

namespace {

uint32_t Read16(uint32_t offset)
{
    return DeviceDescriptor[offset] | DeviceDescriptor[offset + 1] << 8;
}

uint32_t Read32(uint32_t offset)
{
    return Read16(offset) | Read16(offset + 2) << 16;
}

// "S-1-5-..." of the SID at offset; its length in *length.
std::string SidText(uint32_t offset, uint32_t* length)
{
    uint32_t count = DeviceDescriptor[offset + 1];
    uint64_t authority = 0;
    for (uint32_t i = 0; i < 6; ++i)
        authority = authority << 8 | DeviceDescriptor[offset + 2 + i];
    std::string text = "S-" + std::to_string(DeviceDescriptor[offset]) + "-" + std::to_string(authority);
    for (uint32_t i = 0; i < count; ++i)
        text += "-" + std::to_string(Read32(offset + 8 + 4 * i));
    *length = 8 + 4 * count;
    return text;
}

TEST(DeviceSecurity, OnlyTheSystemAndAdministratorsMayOpenTheDevice)
{
    const uint32_t SeDaclPresent = 0x0004, SeSelfRelative = 0x8000, FileAllAccess = 0x001F01FF;
    EXPECT_EQ(DeviceDescriptor[0], 1u) << "descriptor revision";
    EXPECT_EQ(Read16(2), SeDaclPresent | SeSelfRelative) << "a present, not defaulted DACL; nothing else";
    EXPECT_EQ(Read32(4), 0u) << "owner";
    EXPECT_EQ(Read32(8), 0u) << "group";
    EXPECT_EQ(Read32(12), 0u) << "SACL";

    uint32_t acl = Read32(16);
    ASSERT_EQ(acl % 4, 0u);
    EXPECT_EQ(DeviceDescriptor[acl], 2u) << "ACL revision";
    uint32_t aclSize = Read16(acl + 2);
    uint32_t aceCount = Read16(acl + 4);
    EXPECT_EQ(acl + aclSize, static_cast<uint32_t>(DeviceDescriptorLength)) << "the ACL ends the descriptor";

    std::vector<std::string> granted;
    uint32_t ace = acl + 8;
    for (uint32_t i = 0; i < aceCount; ++i) {
        ASSERT_LE(ace + 8, acl + aclSize);
        EXPECT_EQ(DeviceDescriptor[ace], 0u) << "ACCESS_ALLOWED";
        EXPECT_EQ(DeviceDescriptor[ace + 1], 0u) << "no inheritance flags";
        uint32_t aceSize = Read16(ace + 2);
        EXPECT_EQ(Read32(ace + 4), FileAllAccess);
        uint32_t sidLength = 0;
        granted.push_back(SidText(ace + 8, &sidLength));
        EXPECT_EQ(aceSize, 8 + sidLength) << "ACE size";
        EXPECT_EQ(aceSize % 4, 0u);
        ace += aceSize;
    }
    EXPECT_EQ(ace, acl + aclSize) << "the ACEs fill the ACL";
    EXPECT_EQ(granted, std::vector<std::string>({"S-1-5-18", "S-1-5-32-544"}));
}

}  // namespace
