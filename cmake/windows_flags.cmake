# Flags of the Windows binaries.
set(PELMIX_DDK_INCLUDE_DIR /usr/share/mingw-w64/include/ddk)

# Kernel-mode code: freestanding, no exceptions or RTTI, no runtime.
set(PELMIX_DRIVER_CXX_FLAGS -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-threadsafe-statics -fno-stack-protector -Wall -Wextra)
set(PELMIX_DRIVER_LINK_FLAGS -nostdlib -shared -Wl,--subsystem,native -Wl,--entry,_DriverEntry@8
    -Wl,--image-base,0x10000 -Wl,--file-alignment,0x200 -Wl,--section-alignment,0x1000)
set(PELMIX_DRIVER_LIBS ntoskrnl hal gcc)

# User-mode programs run without the mingw runtime DLLs beside them.
set(PELMIX_USER_LINK_FLAGS -static -static-libgcc -static-libstdc++)
