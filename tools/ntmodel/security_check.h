// The open's access check, decided as NT's SeAccessCheck decides it: the
// device's security descriptor against the token of the caller's process.
#ifndef NTMODEL_SECURITY_CHECK_H
#define NTMODEL_SECURITY_CHECK_H

#include <stdint.h>

#include "kernel_objects.h"

// Who opens the device (--caller): the value of ModelSettings::Caller.
enum CallerKind { CallerUser = 0, CallerAdministrator = 1, CallerInteractive = 2 };

// The kind --caller NAME names ("admin", "user", "interactive"), or -1.
int CallerKindNamed(const char* name);
// The length of a valid self-relative security descriptor whose parts all
// lie within capacity bytes, or 0.
uint32_t SecurityDescriptorLength(const uint8_t* descriptor, uint32_t capacity);
// 1 when the caller's token is granted every right of desired (generic
// rights mapped as a file's) on the device.
int SecurityAccessGranted(const ModelDevice* device, int caller, uint32_t desired);

#endif
