// The TIFF header and directory, and the atomic save of an image behind them.
#include "tiff_writer.h"

#include "file_remover.h"
#include "file_replace.h"
#include "image_tags.h"
#include "own_file_names.h"
#include "pixel_formats.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

namespace {

const uint16_t kAscii = 2;
const uint16_t kShort = 3;
const uint16_t kLong = 4;
const uint16_t kRational = 5;
const uint32_t kStripBytes = 64 * 1024; // strips of about this size, at least one row each
const unsigned kNameAttempts = 100;

// One directory entry; value holds its bytes in the machine's byte order, which is the
// file's.
struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> value;
};

template <typename T> void Append(std::vector<uint8_t> *bytes, T value)
{
    const size_t end = bytes->size();
    bytes->resize(end + sizeof value);
    std::memcpy(bytes->data() + end, &value, sizeof value);
}

TiffEntry Shorts(uint16_t tag, const std::vector<uint16_t> &values)
{
    TiffEntry entry{tag, kShort, static_cast<uint32_t>(values.size()), {}};
    for (const uint16_t value : values)
        Append(&entry.value, value);
    return entry;
}

TiffEntry Longs(uint16_t tag, const std::vector<uint32_t> &values)
{
    TiffEntry entry{tag, kLong, static_cast<uint32_t>(values.size()), {}};
    for (const uint32_t value : values)
        Append(&entry.value, value);
    return entry;
}

TiffEntry Short(uint16_t tag, uint32_t value)
{
    return Shorts(tag, {static_cast<uint16_t>(value)});
}

TiffEntry Long(uint16_t tag, uint32_t value) { return Longs(tag, {value}); }

TiffEntry Rational(uint16_t tag, uint32_t numerator, uint32_t denominator)
{
    TiffEntry entry{tag, kRational, 1, {}};
    Append(&entry.value, numerator);
    Append(&entry.value, denominator);
    return entry;
}

TiffEntry Ascii(uint16_t tag, const std::string &text)
{
    TiffEntry entry{tag, kAscii, static_cast<uint32_t>(text.size() + 1), {}};
    entry.value.assign(text.begin(), text.end());
    entry.value.push_back(0);
    return entry;
}

bool HostIsLittleEndian()
{
    const uint16_t probe = 1;
    uint8_t firstByte = 0;
    std::memcpy(&firstByte, &probe, 1);
    return firstByte == 1;
}

// Header, directory and the values too long for their entries, laid out for the pixels to
// follow them at once. False when the file would pass the 4 GiB that TIFF offsets reach.
bool EncodeTiffHeader(const J_IMAGE_RECORD &image, const FrameMetadata *metadata,
                      const PixelFormatInfo &format, uint32_t pixelBytes,
                      std::vector<uint8_t> *header)
{
    const uint32_t rowBytes = pixelBytes / image.height;
    const uint32_t rowsPerStrip = std::max(1u, std::min(image.height, kStripBytes / rowBytes));
    const uint32_t stripCount = (image.height - 1) / rowsPerStrip + 1;
    const uint32_t fullStripBytes = rowsPerStrip * rowBytes;
    std::vector<uint32_t> stripByteCounts(stripCount, fullStripBytes);
    stripByteCounts.back() = pixelBytes - (stripCount - 1) * fullStripBytes;
    const uint32_t bits = 8 * format.bytesPerSample;
    const uint32_t photometric = format.samplesPerPixel == 1 ? 1 : 2; // BlackIsZero or RGB
    const ImageTexts texts = DescribeImage(image, metadata);
    // In ascending tag order, as TIFF requires; a text that is not known has no tag.
    std::vector<TiffEntry> entries = {
        Long(256, image.width),                                                     // ImageWidth
        Long(257, image.height),                                                    // ImageLength
        Shorts(258, std::vector<uint16_t>(format.samplesPerPixel, uint16_t(bits))), // BitsPerSample
        Short(259, 1),                 // Compression: none
        Short(262, photometric),       // PhotometricInterpretation
        Ascii(270, texts.description), // ImageDescription
    };
    if (!texts.make.empty())
        entries.push_back(Ascii(271, texts.make)); // Make
    if (!texts.model.empty())
        entries.push_back(Ascii(272, texts.model)); // Model
    const size_t stripOffsetsEntry = entries.size();
    entries.insert(
        entries.end(),
        {
            Longs(273, std::vector<uint32_t>(stripCount, 0)), // StripOffsets, filled in below
            Short(277, format.samplesPerPixel),               // SamplesPerPixel
            Long(278, rowsPerStrip),                          // RowsPerStrip
            Longs(279, stripByteCounts),                      // StripByteCounts
            Rational(282, 72, 1),                             // XResolution
            Rational(283, 72, 1),                             // YResolution
            Short(284, 1),                                    // PlanarConfiguration: interleaved
            Short(296, 2),                                    // ResolutionUnit: inch
            Ascii(305, texts.software),                       // Software
        });
    if (!texts.dateTime.empty())
        entries.push_back(Ascii(306, texts.dateTime)); // DateTime
    // The 8-byte header, the directory, then each long value at an even offset.
    uint64_t end = 8 + 2 + 12 * entries.size() + 4;
    std::vector<uint64_t> valueOffsets(entries.size(), 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].value.size() > 4) {
            valueOffsets[i] = end;
            end += (entries[i].value.size() + 1) / 2 * 2;
        }
    }
    const uint64_t pixelOffset = end;
    if (pixelOffset + pixelBytes > std::numeric_limits<uint32_t>::max())
        return false;
    std::vector<uint8_t> &stripOffsets = entries[stripOffsetsEntry].value;
    stripOffsets.clear();
    for (uint32_t strip = 0; strip < stripCount; ++strip)
        Append(&stripOffsets,
               static_cast<uint32_t>(pixelOffset + uint64_t{strip} * fullStripBytes));

    header->clear();
    header->reserve(static_cast<size_t>(pixelOffset));
    const char *byteOrder = HostIsLittleEndian() ? "II" : "MM";
    header->insert(header->end(), byteOrder, byteOrder + 2);
    Append<uint16_t>(header, 42);
    Append<uint32_t>(header, 8);
    Append(header, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const TiffEntry &entry = entries[i];
        Append(header, entry.tag);
        Append(header, entry.type);
        Append(header, entry.count);
        if (entry.value.size() > 4) {
            Append(header, static_cast<uint32_t>(valueOffsets[i]));
        } else {
            // A short value sits at the start of the 4-byte field.
            header->insert(header->end(), entry.value.begin(), entry.value.end());
            header->insert(header->end(), 4 - entry.value.size(), 0);
        }
    }
    Append<uint32_t>(header, 0); // no further directory
    for (const TiffEntry &entry : entries) {
        if (entry.value.size() > 4) {
            header->insert(header->end(), entry.value.begin(), entry.value.end());
            header->resize((header->size() + 1) / 2 * 2, 0);
        }
    }
    return true;
}

// Creates a new file under the first name from namer that is free. fopen's "x" never opens
// an existing file nor follows a symlink; a name that exists is a collision, any other
// failure (missing or read-only folder) ends the search. The file is not inherited by child
// processes. Null when no name works.
std::FILE *CreateExclusively(const std::filesystem::path &target, const TemporaryNamer &namer,
                             std::filesystem::path *created)
{
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path candidate = namer(target);
        std::FILE *file =
            std::fopen(candidate.string().c_str(), "wbx" JAI_FACTORY_NOT_INHERITED_MODE);
        if (file != nullptr) {
            *created = candidate;
            return file;
        }
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)))
            return nullptr;
    }
    return nullptr;
}

void Discard(const std::filesystem::path &file)
{
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

// Gives the file at target a second, hidden name, so that the rename over target does not
// free its blocks, which waits for the disk on some file systems; the hidden name is removed
// afterwards off the saving thread. Empty when target is no regular file (absent, or a symlink,
// which the rename replaces) or cannot be linked: the rename then frees it as before.
std::filesystem::path KeepUnderHiddenName(const std::filesystem::path &target)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(target, error)))
        return {};
    const std::filesystem::path hidden = OwnFileName(target, OwnFileKind::Replaced);
    std::filesystem::create_hard_link(target, hidden, error);
    return error ? std::filesystem::path() : hidden;
}

} // namespace

std::filesystem::path UniqueTemporaryName(const std::filesystem::path &target)
{
    return OwnFileName(target, OwnFileKind::Temporary);
}

J_STATUS_TYPE SaveTiff(const J_IMAGE_RECORD &image, const FrameMetadata *metadata,
                       const char *fileName, const TemporaryNamer &namer,
                       std::chrono::milliseconds saveWait)
{
    const PixelFormatInfo *format = FindPixelFormat(image.pixelFormat);
    uint32_t pixelBytes = 0;
    if (image.buffer == nullptr || format == nullptr || !format->savable ||
        !ImageBytes(*format, image.width, image.height, &pixelBytes) ||
        image.imageSize < pixelBytes)
        return J_ST_INVALID_PARAMETER;
    const std::filesystem::path target(fileName);
    if (target.filename().empty())
        return J_ST_INVALID_PARAMETER;
    std::vector<uint8_t> header;
    if (!EncodeTiffHeader(image, metadata, *format, pixelBytes, &header))
        return J_ST_FILE_ERROR;

    RemoveOtherRunsFilesOnce(target.parent_path());
    std::filesystem::path temporary;
    std::FILE *file = CreateExclusively(target, namer, &temporary);
    if (file == nullptr)
        return J_ST_FILE_ERROR;
    const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                         std::fwrite(image.buffer, 1, pixelBytes, file) == pixelBytes;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        Discard(temporary);
        return J_ST_FILE_ERROR;
    }
    const std::filesystem::path replaced = KeepUnderHiddenName(target);
    const ReplaceOutcome outcome = MoveIntoPlace(temporary, target, saveWait);
    if (outcome != ReplaceOutcome::Replaced) {
        Discard(temporary);
        // The program that holds the old file open keeps its hidden name from going too.
        if (!replaced.empty())
            RemoveOnceReleased(replaced);
        if (outcome == ReplaceOutcome::HeldOpen)
            std::fprintf(stderr,
                         "Jai_Factory: %s not replaced: another program holds it open "
                         "(waited %lld ms)\n",
                         fileName, static_cast<long long>(saveWait.count()));
        return J_ST_FILE_ERROR;
    }
    if (!replaced.empty())
        RemoveLater(replaced);
    return J_ST_SUCCESS;
}
