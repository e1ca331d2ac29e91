// Who may open the device: a driver that reprograms firmware answers the
// system and administrators only. The descriptor is built here, as the
// self-relative bytes the kernel takes, so that its layout is the same on
// every platform and can be checked without a kernel.
#ifndef PELMIX_DEVICE_SECURITY_H
#define PELMIX_DEVICE_SECURITY_H

#include <stdint.h>

// A self-relative security descriptor with a DACL only, granting all file
// access to LocalSystem (S-1-5-18) and to the Administrators group
// (S-1-5-32-544), and nothing to anyone else.
enum { DeviceDescriptorLength = 72 };
alignas(4) extern const uint8_t DeviceDescriptor[DeviceDescriptorLength];

#endif
