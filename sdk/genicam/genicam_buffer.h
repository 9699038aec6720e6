// Whether an Aravis buffer holds one whole image.
//
// A buffer that lost packets, timed out, or carries no image part (chunk data only, a
// multi-part payload without an image first) is not an image: Aravis refuses, with a GLib
// warning, to give such a buffer's size, so it is checked here before anything else is read.
#ifndef JAI_FACTORY_GENICAM_BUFFER_H
#define JAI_FACTORY_GENICAM_BUFFER_H

#include <arv.h>

bool IsCompleteImage(ArvBuffer *buffer);

#endif
