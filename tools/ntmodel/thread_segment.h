// The segment through which a model thread reaches its own C library thread
// data (gs), kept right across the fault handler's return.
//
// Under qemu-i386's user-mode emulation, which runs the model where the
// kernel runs no 32-bit programs, the whole process shares one global
// descriptor table: the thread-data entry the C library sets for each new
// thread is a single slot that the newest thread wrote last, and the return
// from a signal reloads gs from that slot. A thread coming back from the
// emulation of its cli or sti would then use the newest thread's data. So the
// handler returns into a descriptor of the local table made for the thread
// alone, and a thread that starts another (which the C library does through
// the global slot gs names) first puts gs back on that slot, rewritten with
// its own base. On a 32-bit kernel, whose slots are per thread, both steps
// leave each thread with the data it had.
#ifndef NTMODEL_THREAD_SEGMENT_H
#define NTMODEL_THREAD_SEGMENT_H

#include <ucontext.h>

// At the start of the run, on the main thread: notes the global slot.
void ThreadSegmentNoteGlobal();
// In the fault handler, before it returns into the thread's code: gs of the
// return is the thread's own local descriptor; 0 when none is left.
int ThreadSegmentKeep(ucontext_t* context);
// Before a thread starts another: gs back on the global slot, holding this
// thread's base. Under KernelLock, or before any other thread exists.
void ThreadSegmentRestoreGlobal();

#endif
