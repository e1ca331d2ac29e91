# uint32_t ModelCallStdcall(void* routine, const uint32_t* arguments,
#                           uint32_t count, struct EntryOutcome* outcome,
#                           void* stackTop)
# Moves to the stack that ends at stackTop (none: stays on this one), pushes
# the arguments, loads EBX, ESI and EDI with marks, calls the routine and
# records its EAX, how far the stack pointer is from where it was before the
# pushes (0 for a stdcall routine) and which marked registers changed; then
# comes back to this stack.
    .text
    .globl ModelCallStdcall
    .type ModelCallStdcall, @function
ModelCallStdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp
    movl 24(%ebp), %eax
    testl %eax, %eax
    jz 0f
    movl %eax, %esp
0:  movl %esp, -16(%ebp)
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl $0x5EB0B5EB, %ebx
    movl $0x5E51A5E5, %esi
    movl $0x5ED1ED1E, %edi
    call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %esp, %edx
    subl -16(%ebp), %edx
    movl %edx, 4(%ecx)
    xorl %edx, %edx
    cmpl $0x5EB0B5EB, %ebx
    je 3f
    orl $1, %edx
3:  cmpl $0x5E51A5E5, %esi
    je 4f
    orl $2, %edx
4:  cmpl $0x5ED1ED1E, %edi
    je 5f
    orl $4, %edx
5:  movl %edx, 8(%ecx)
    leal -16(%ebp), %esp
    addl $4, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
    .size ModelCallStdcall, .-ModelCallStdcall
    .section .note.GNU-stack,"",@progbits
