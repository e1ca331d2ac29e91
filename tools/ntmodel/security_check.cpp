// Tokens of SIDs and the access check of an open. The check follows NT's
// order: generic rights mapped to the file object's specific rights; the
// owner granted READ_CONTROL and WRITE_DAC; no DACL grants everything; the
// DACL's ACEs taken in order (inherit-only ones skipped), an allowed ACE for
// a SID of the token granting its rights, a denied one refusing the open
// when it names a right still wanted, and the walk ending once every right
// is granted; a right never granted refuses the open.
#include "security_check.h"

#include <string.h>

namespace {

// Generic rights and the file object's mapping of them.
const uint32_t GenericRead = 0x80000000u, GenericWrite = 0x40000000u, GenericExecute = 0x20000000u,
               GenericAll = 0x10000000u;
const uint32_t FileGenericRead = 0x00120089u, FileGenericWrite = 0x00120116u, FileGenericExecute = 0x001200A0u,
               FileAllAccess = 0x001F01FFu;
const uint32_t ReadControl = 0x00020000u, WriteDac = 0x00040000u;

const uint16_t DaclPresent = 0x0004, SelfRelative = 0x8000;
const uint8_t AccessAllowedAce = 0, AccessDeniedAce = 1, InheritOnlyAce = 0x08;

// SIDs: revision 1, sub-authority count, the 6-byte authority, the
// sub-authorities (little-endian).
#define NT_SID1(a)                                                                                                     \
    {                                                                                                                  \
        1, 1, 0, 0, 0, 0, 0, 5, a, 0, 0, 0                                                                             \
    }
const uint8_t WorldSid[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};  // Everyone, S-1-1-0
const uint8_t InteractiveSid[] = NT_SID1(4);                      // S-1-5-4
const uint8_t BatchSid[] = NT_SID1(3);                            // S-1-5-3
const uint8_t AuthenticatedSid[] = NT_SID1(11);                   // Authenticated Users, S-1-5-11
const uint8_t SystemSid[] = NT_SID1(18);                          // LocalSystem, S-1-5-18
const uint8_t AdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};  // S-1-5-32-544
const uint8_t UsersSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};           // S-1-5-32-545
// The machine's own accounts: S-1-5-21-1-2-3-500 (its administrator), -1003.
const uint8_t AdministratorSid[] = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0,    0, 1, 0,
                                    0, 0, 2, 0, 0, 0, 3, 0, 0,  0, 0xF4, 1, 0, 0};
const uint8_t PlainUserSid[] = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xEB, 3, 0, 0};
#undef NT_SID1

enum { MaxTokenSids = 8 };

// The user's SID first, then the enabled groups; none is deny-only.
struct Token {
    const char* Name;
    const uint8_t* Sids[MaxTokenSids];
};

// An administrator at the console; a user at the console; the same user's
// program run as a batch job (a scheduled task), which is not INTERACTIVE.
const Token Tokens[] = {
    {"user", {PlainUserSid, WorldSid, BatchSid, AuthenticatedSid, UsersSid}},
    {"admin", {AdministratorSid, WorldSid, InteractiveSid, AuthenticatedSid, UsersSid, AdministratorsSid}},
    {"interactive", {PlainUserSid, WorldSid, InteractiveSid, AuthenticatedSid, UsersSid}},
};

// What IoCreateDevice gives a named device of this type without a
// descriptor of the driver's: all to the system and administrators, read,
// write and execute to everyone; owned by the administrators.
// clang-format off
const uint8_t DefaultDescriptor[] = {
    1, 0, 0x04, 0x80,  20, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  36, 0, 0, 0,
    // owner: Administrators
    1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,
    // DACL: revision 2, 8 + 20 + 24 + 20 bytes, three ACEs
    2, 0, 72, 0,  3, 0, 0, 0,
    0, 0, 20, 0,  0, 0, 0, 0x10,  1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
    0, 0, 24, 0,  0, 0, 0, 0x10,  1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,
    0, 0, 20, 0,  0, 0, 0, 0xE0,  1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0,
};
// clang-format on

uint16_t Read16(const uint8_t* at)
{
    uint16_t value;
    memcpy(&value, at, 2);
    return value;
}

uint32_t Read32(const uint8_t* at)
{
    uint32_t value;
    memcpy(&value, at, 4);
    return value;
}

uint32_t SidLength(const uint8_t* sid)
{
    return 8 + 4u * sid[1];
}

// A SID at offset that fits within limit bytes; returns its end or 0.
uint32_t SidEnd(const uint8_t* base, uint32_t offset, uint32_t limit)
{
    if (offset + 8 > limit || base[offset] != 1 || base[offset + 1] > 15)
        return 0;
    uint32_t end = offset + SidLength(base + offset);
    return end <= limit ? end : 0;
}

// An ACL at offset within limit bytes, every ACE and its SID inside it;
// returns its end or 0.
uint32_t AclEnd(const uint8_t* base, uint32_t offset, uint32_t limit)
{
    if (offset + 8 > limit)
        return 0;
    const uint8_t* acl = base + offset;
    uint32_t size = Read16(acl + 2);
    if ((acl[0] != 2 && acl[0] != 4) || size < 8 || offset + size > limit)
        return 0;
    uint32_t at = 8;
    for (uint16_t i = 0; i < Read16(acl + 4); ++i) {
        if (at + 8 > size)
            return 0;
        uint32_t aceSize = Read16(acl + at + 2);
        if (aceSize < 8 || (aceSize & 3) || at + aceSize > size)
            return 0;
        if ((acl[at] == AccessAllowedAce || acl[at] == AccessDeniedAce) && !SidEnd(acl, at + 8, at + aceSize))
            return 0;
        at += aceSize;
    }
    return offset + size;
}

int TokenHolds(const Token& token, const uint8_t* sid)
{
    for (const uint8_t* held : token.Sids) {
        if (held && held[1] == sid[1] && memcmp(held, sid, SidLength(held)) == 0)
            return 1;
    }
    return 0;
}

uint32_t MapGeneric(uint32_t mask)
{
    uint32_t mapped = mask & ~(GenericRead | GenericWrite | GenericExecute | GenericAll);
    mapped |= (mask & GenericRead) ? FileGenericRead : 0;
    mapped |= (mask & GenericWrite) ? FileGenericWrite : 0;
    mapped |= (mask & GenericExecute) ? FileGenericExecute : 0;
    mapped |= (mask & GenericAll) ? FileAllAccess : 0;
    return mapped;
}

}  // namespace

int CallerKindNamed(const char* name)
{
    for (int kind = 0; kind < static_cast<int>(sizeof Tokens / sizeof Tokens[0]); ++kind) {
        if (strcmp(Tokens[kind].Name, name) == 0)
            return kind;
    }
    return -1;
}

uint32_t SecurityDescriptorLength(const uint8_t* d, uint32_t capacity)
{
    if (capacity < 20 || d[0] != 1 || !(Read16(d + 2) & SelfRelative))
        return 0;
    uint32_t length = 20;
    for (int part = 0; part < 4; ++part) {
        uint32_t offset = Read32(d + 4 + 4 * part);
        if (offset == 0)
            continue;
        if (offset < 20)
            return 0;
        uint32_t end = part < 2 ? SidEnd(d, offset, capacity) : AclEnd(d, offset, capacity);
        if (!end)
            return 0;
        length = end > length ? end : length;
    }
    return length;
}

int SecurityAccessGranted(const ModelDevice* device, int caller, uint32_t desired)
{
    const Token& token = Tokens[caller];
    const uint8_t* d = device->DescriptorLength ? device->Descriptor : DefaultDescriptor;
    uint32_t remaining = MapGeneric(desired);
    uint32_t owner = Read32(d + 4);
    const uint8_t* ownerSid = owner ? d + owner : DefaultDescriptor + 20;
    if (TokenHolds(token, ownerSid))
        remaining &= ~(ReadControl | WriteDac);
    uint32_t daclOffset = Read32(d + 16);
    if (!(Read16(d + 2) & DaclPresent) || daclOffset == 0 || remaining == 0)
        return 1;
    const uint8_t* acl = d + daclOffset;
    const uint8_t* ace = acl + 8;
    for (uint16_t i = 0; i < Read16(acl + 4) && remaining; ++i, ace += Read16(ace + 2)) {
        if ((ace[1] & InheritOnlyAce) || !(ace[0] == AccessAllowedAce || ace[0] == AccessDeniedAce))
            continue;
        if (!TokenHolds(token, ace + 8))
            continue;
        uint32_t rights = MapGeneric(Read32(ace + 4));
        if (ace[0] == AccessDeniedAce && (remaining & rights))
            return 0;
        if (ace[0] == AccessAllowedAce)
            remaining &= ~rights;
    }
    return remaining == 0;
}
