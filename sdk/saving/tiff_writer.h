// Baseline TIFF files of converted images, saved atomically through a temporary file.
#ifndef JAI_FACTORY_TIFF_WRITER_H
#define JAI_FACTORY_TIFF_WRITER_H

#include <Jai_Factory.h>

#include "file_replace.h"
#include "frame_metadata.h"

#include <chrono>
#include <filesystem>
#include <functional>

// Gives a candidate name for the temporary file of a save to target, in target's folder; it
// is asked again whenever the name it gave already exists.
using TemporaryNamer = std::function<std::filesystem::path(const std::filesystem::path &target)>;

// The namer of J_Image_SaveFile: OwnFileName(target, OwnFileKind::Temporary).
std::filesystem::path UniqueTemporaryName(const std::filesystem::path &target);

// Writes image (grey or RGB, 8 or 16 bits) as an uncompressed TIFF to fileName, with the tags
// that say what it is (image_tags.h) from metadata, null when there is none: creates a
// temporary file exclusively with a name from namer, writes it, then renames it over
// fileName, which is replaced (a symlink there included, not followed). Where another program
// holds fileName open so that the system refuses the replace (Windows), it is tried again
// for up to saveWait, then the save fails with a line on standard error. A replaced file is
// removed off the calling thread (file_remover.h), and the first save into a folder removes
// there the library's leftovers of other runs. On failure nothing is left behind and fileName
// is untouched.
J_STATUS_TYPE
SaveTiff(const J_IMAGE_RECORD &image, const FrameMetadata *metadata, const char *fileName,
         const TemporaryNamer &namer,
         std::chrono::milliseconds saveWait = std::chrono::milliseconds(kDefaultSaveWaitMs));

#endif
