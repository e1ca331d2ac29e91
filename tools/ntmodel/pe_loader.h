// Loads a driver image as the NT loader does: maps its sections, applies its
// base relocations and binds each import by name to a model routine.
#ifndef NTMODEL_PE_LOADER_H
#define NTMODEL_PE_LOADER_H

#include <stdint.h>

// 1 with Image filled, or 0 with the reason in error (an import the chosen
// version does not export or the model lacks is named there).
int LoadDriverImage(const char* path, char* error, uint32_t errorSize);
// Takes every access right from the image's pages.
void RetireDriverImage();

#endif
