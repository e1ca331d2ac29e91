// Whether someone can answer a question at the keyboard.
#ifndef PELMIXCTL_TERMINAL_INPUT_H
#define PELMIXCTL_TERMINAL_INPUT_H

// 1 when standard input is a console (Windows) or a terminal. A null
// device, a pipe or a file is none: a question read from it would only
// find its end.
int InputIsTerminal();

#endif
