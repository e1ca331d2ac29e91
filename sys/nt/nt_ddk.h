// The DDK headers, included the one way that compiles as C++: the compiler's
// intrinsics header and wdm.h both define the two bit-test intrinsics, so the
// intrinsics header is told to leave them to wdm.h.
#ifndef PELMIX_NT_DDK_H
#define PELMIX_NT_DDK_H

#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

#endif
