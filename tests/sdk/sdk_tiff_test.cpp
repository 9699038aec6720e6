// TIFF files read back through libtiff, and the atomic save beside the target.
#include "sdk_test_support.h"

#include "file_remover.h"
#include "own_file_names.h"
#include "tiff_writer.h"

#include <tiffio.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// A converted image with storage of its own: sample i is (i * 37 + 11) mod 2^bits.
struct Image {
    Image(uint32_t format, uint32_t width, uint32_t height)
        : samplesPerPixel(format == J_PF_RGB24 || format == J_PF_RGB48 ? 3 : 1),
          sixteenBit(format == J_PF_GRAY16 || format == J_PF_RGB48),
          words(size_t{width} * height * samplesPerPixel)
    {
        const uint32_t bytes = static_cast<uint32_t>(words.size() * (sixteenBit ? 2 : 1));
        record = {format, width, height, bytes, reinterpret_cast<uint8_t *>(words.data()), 0, 42};
        record.frameId = 123456789012;
        for (size_t i = 0; i < words.size(); ++i) {
            if (sixteenBit)
                words[i] = static_cast<uint16_t>(i * 37 + 11);
            else
                record.buffer[i] = static_cast<uint8_t>(i * 37 + 11);
        }
    }
    uint32_t Sample(size_t i) const { return sixteenBit ? words[i] : record.buffer[i]; }
    uint16_t samplesPerPixel;
    bool sixteenBit;
    std::vector<uint16_t> words;
    J_IMAGE_RECORD record;
};

std::string Contents(const std::string &path)
{
    std::stringstream contents;
    contents << std::ifstream(path, std::ios::binary).rdbuf();
    return contents.str();
}

// Reads path with libtiff and checks every field and sample against image.
void ExpectTiffOf(const std::string &path, const Image &image)
{
    TIFF *tiff = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    uint32_t width = 0, height = 0;
    std::vector<uint16_t> fields;
    for (const uint32_t tag : {TIFFTAG_BITSPERSAMPLE, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_PHOTOMETRIC,
                               TIFFTAG_COMPRESSION, TIFFTAG_PLANARCONFIG}) {
        fields.push_back(0);
        TIFFGetField(tiff, tag, &fields.back());
    }
    char *description = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_IMAGEDESCRIPTION, &description);
    const uint16_t photometric =
        image.samplesPerPixel == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
    EXPECT_EQ(std::make_pair(width, height),
              std::make_pair(image.record.width, image.record.height));
    EXPECT_EQ(fields,
              std::vector<uint16_t>({uint16_t(image.sixteenBit ? 16 : 8), image.samplesPerPixel,
                                     photometric, COMPRESSION_NONE, PLANARCONFIG_CONTIG}));
    EXPECT_STREQ(description, "frame_id=123456789012 timestamp_us=42");
    EXPECT_FALSE(TIFFIsByteSwapped(tiff)); // in the machine's byte order
    std::vector<uint8_t> row(TIFFScanlineSize(tiff));
    const size_t rowSamples = size_t{width} * image.samplesPerPixel;
    size_t mismatches = 0;
    for (uint32_t y = 0; y < height; ++y) {
        ASSERT_EQ(TIFFReadScanline(tiff, row.data(), y), 1);
        for (size_t i = 0; i < rowSamples; ++i) {
            uint16_t sample = row[i];
            if (image.sixteenBit)
                std::memcpy(&sample, &row[2 * i], 2);
            mismatches += sample != image.Sample(y * rowSamples + i);
        }
    }
    EXPECT_EQ(mismatches, 0u);
    TIFFClose(tiff);
}

// Symlinks may be unavailable (Windows without the right): the tests that need them skip.
bool Symlink(const std::string &pointee, const std::string &link)
{
    std::error_code error;
    std::filesystem::create_symlink(pointee, link, error);
    return !error;
}

} // namespace

TEST(SdkTiff, SavedImagesReadBackSampleForSample)
{
    ScratchFolder folder;
    // The larger ones span several strips, the last of them short.
    for (const auto &[format, width, height] :
         std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>{{J_PF_GRAY8, 1, 1},
                                                               {J_PF_GRAY8, 300, 500},
                                                               {J_PF_GRAY16, 17, 9},
                                                               {J_PF_RGB24, 300, 701},
                                                               {J_PF_RGB48, 1, 5000}}) {
        const Image image(format, width, height);
        ASSERT_EQ(J_Image_SaveFile(&image.record, (folder / "image.tiff").c_str()), J_ST_SUCCESS);
        ExpectTiffOf(folder / "image.tiff", image);
        FinishRemovals(); // the replaced file's hidden name goes off the saving thread
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"image.tiff"});
    }
}

TEST(SdkTiff, RefusedOrFailedSavesLeaveNothingBehind)
{
    ScratchFolder folder;
    const Image image(J_PF_GRAY8, 4, 4);
    std::vector<J_IMAGE_RECORD> bad(5, image.record);
    bad[0].pixelFormat = J_PF_BAYER_RG8; // raw, not converted
    bad[1].pixelFormat = J_PF_MONO12;
    bad[2].imageSize = 15;
    bad[3].buffer = nullptr;
    bad[4].width = 0;
    for (const J_IMAGE_RECORD &record : bad)
        EXPECT_EQ(J_Image_SaveFile(&record, (folder / "x.tiff").c_str()), J_ST_INVALID_PARAMETER);
    EXPECT_NE(J_Image_SaveFile(nullptr, (folder / "x.tiff").c_str()), J_ST_SUCCESS);
    EXPECT_NE(J_Image_SaveFile(&image.record, nullptr), J_ST_SUCCESS);
    EXPECT_NE(J_Image_SaveFile(&image.record, (folder / "").c_str()), J_ST_SUCCESS);
    EXPECT_EQ(J_Image_SaveFile(&image.record, (folder / "missing/x.tiff").c_str()),
              J_ST_FILE_ERROR);
    EXPECT_TRUE(folder.Entries().empty());
    // Onto a folder that is not empty: the rename fails once the file is written.
    std::filesystem::create_directories(folder / "busy/inside");
    EXPECT_EQ(J_Image_SaveFile(&image.record, (folder / "busy").c_str()), J_ST_FILE_ERROR);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"busy"});
    EXPECT_TRUE(std::filesystem::is_directory(folder / "busy/inside"));
}

TEST(SdkTiff, SaveReplacesAFileOrASymlinkWithoutFollowingIt)
{
    ScratchFolder folder;
    const Image image(J_PF_RGB24, 3, 2);
    std::ofstream(folder / "old.tiff") << "old contents";
    std::ofstream(folder / "victim") << "keep me";
    if (!Symlink(folder / "victim", folder / "link.tiff"))
        GTEST_SKIP() << "no symlinks here";
    for (const char *name : {"old.tiff", "link.tiff"}) {
        ASSERT_EQ(J_Image_SaveFile(&image.record, (folder / name).c_str()), J_ST_SUCCESS);
        EXPECT_FALSE(std::filesystem::is_symlink(folder / name));
        ExpectTiffOf(folder / name, image);
    }
    EXPECT_EQ(Contents(folder / "victim"), "keep me");
    FinishRemovals();
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"link.tiff", "old.tiff", "victim"}));
}

TEST(SdkTiff, TemporaryNamesThatExistAreSkippedUntouched)
{
    ScratchFolder folder;
    std::ofstream(folder / "victim") << "keep me";
    std::ofstream(folder / "taken") << "keep me too";
    if (!Symlink(folder / "victim", folder / "planted"))
        GTEST_SKIP() << "no symlinks here";
    std::vector<std::string> names = {"planted", "taken", "fresh"};
    size_t next = 0;
    const TemporaryNamer namer = [&](const std::filesystem::path &target) {
        EXPECT_EQ(target.parent_path(), folder.path);
        return folder / names[next++ % names.size()];
    };
    const Image image(J_PF_GRAY16, 3, 2);
    const std::vector<std::string> entries = {"image.tiff", "planted", "taken", "victim"};
    ASSERT_EQ(SaveTiff(image.record, nullptr, (folder / "image.tiff").c_str(), namer),
              J_ST_SUCCESS);
    ExpectTiffOf(folder / "image.tiff", image);
    EXPECT_EQ(folder.Entries(), entries);
    // With every name taken the save fails, and the old file stays.
    names = {"planted", "taken"};
    EXPECT_EQ(
        SaveTiff(Image(J_PF_GRAY8, 5, 5).record, nullptr, (folder / "image.tiff").c_str(), namer),
        J_ST_FILE_ERROR);
    ExpectTiffOf(folder / "image.tiff", image);
    EXPECT_EQ(Contents(folder / "victim") + Contents(folder / "taken"), "keep mekeep me too");
    EXPECT_EQ(folder.Entries(), entries);
}

TEST(SdkTiff, HiddenNamesOfReplacedFilesAreGoneOnceTheFactoryCloses)
{
    ScopedConfig config;
    ScratchFolder folder;
    FACTORY_HANDLE factory = nullptr;
    ASSERT_EQ(J_Factory_Open("", &factory), J_ST_SUCCESS);
    for (uint32_t size = 1; size <= 20; ++size) {
        const Image image(J_PF_GRAY8, 200 * size, 200);
        ASSERT_EQ(J_Image_SaveFile(&image.record, (folder / "0001.tiff").c_str()), J_ST_SUCCESS);
    }
    ASSERT_EQ(J_Factory_Close(factory), J_ST_SUCCESS);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"0001.tiff"});
}

TEST(SdkTiff, TheFirstSaveInAFolderRemovesOtherRunsLeftoversAndNothingElse)
{
    ScratchFolder folder;
    const std::string otherRun = "Jai_Factory-0123456789abcdef-";
    const std::vector<std::string> leftovers = {".0001.tiff." + otherRun + "7.tmp",
                                                ".0002.tiff." + otherRun + "12.old",
                                                ".a.tiff." + otherRun + "0.tmp"};
    const std::vector<std::string> lookalikes = {
        ".0001.tiff.Jai_Factory-0123456789abcde-7.tmp",  // 15 digits
        ".0001.tiff.Jai_Factory-0123456789ABCDEF-7.tmp", // not the library's hex
        ".0001.tiff." + otherRun + ".tmp",               // no serial
        ".0001.tiff." + otherRun + "7.tmp~",
        "0001.tiff." + otherRun + "7.tmp", // not hidden
        "." + otherRun + "7.tmp",          // no file name
        "victim"};
    for (const std::string &name : leftovers)
        std::ofstream(folder / name) << "left";
    for (const std::string &name : lookalikes)
        std::ofstream(folder / name) << "keep me";
    // A leftover name on a symlink: the link goes, what it points to stays.
    Symlink(folder / "victim", folder / (".0003.tiff." + otherRun + "1.old"));
    // This run's own names are its files in flight: they are not another run's leftovers.
    const std::string ownTemporary =
        OwnFileName(folder / "0001.tiff", OwnFileKind::Temporary).filename().string();
    std::ofstream(folder / ownTemporary) << "in flight";
    const Image image(J_PF_GRAY8, 3, 3);
    for (int save = 0; save < 2; ++save)
        ASSERT_EQ(J_Image_SaveFile(&image.record, (folder / "0001.tiff").c_str()), J_ST_SUCCESS);
    FinishRemovals();
    std::vector<std::string> expected = lookalikes;
    expected.push_back("0001.tiff");
    expected.push_back(ownTemporary);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Entries(), expected);
    for (const std::string &name : lookalikes)
        EXPECT_EQ(Contents(folder / name), "keep me") << name;
}
