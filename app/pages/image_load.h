/* Loading the image to be written (an image file or the in-built image)
   into NewImage, and what Next on either image page does with it. */
#ifndef DORVANE_IMAGE_LOAD_H
#define DORVANE_IMAGE_LOAD_H

struct FlashSession;
struct WizardHost;

enum { ImageVersionSize = 260 };

/* name 0 loads the in-built image. With test set the image must pass the
   checksum test. version (260 bytes) gets the table's version text up to
   its first carriage return; blank is set when the table's Flags is 0.
   1 when NewImage holds a usable image, else 0 after telling the user. */
int LoadNewImage(void* owner, const char* name, int test, char* version, int* blank);

enum ImagePageKind { StandardImagePage, ReadErrorImagePage };

enum ImageNextResult {
    ImageStay,       /* refused or not confirmed: choose again */
    ImageStayInFile, /* the file could not be used: focus on its name */
    /* The image declares more bytes than the card's chip holds: told, and
       nothing asked or written; the focus goes to the name as for a bad file. */
    ImageTooLongForChip,
    ImageWritten,    /* the write sequence succeeded */
    ImageNotWritten, /* the write sequence failed; it has told why */
};

/* specific: the file choice is ticked, and name is the typed file name.
   readBackChecksum: the write's read-back must pass the checksum test too
   (the wizard's rule; FlashPlan). The sequence runs on session through host,
   and its outcome is left in session. */
ImageNextResult ImagePageNext(FlashSession* session, const WizardHost& host, void* owner, ImagePageKind kind,
                              int specific, const char* name, int readBackChecksum);

#endif
